// The yardstick for start-up: the least a Qt Widgets program does to show a
// window of the main window's size at the main window's place. With the
// argument "text" it also shows one line of Japanese, which makes it load
// the font machinery every window with text needs.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setGeometry(217, 248, 507, 308);
    if (argc > 1 && QString(argv[1]) == "text") {
        auto* label = new QLabel("こんにちわ☆さん", &window);
        label->setGeometry(248, 244, 241, 49);
    }
    window.show();
    return app.exec();
}
