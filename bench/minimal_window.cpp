// The yardstick for start-up: the least a Qt Widgets program does to show a
// window of the main window's size at the main window's place.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setGeometry(217, 248, 507, 308);
    window.show();
    return app.exec();
}
