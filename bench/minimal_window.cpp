// The yardstick for start-up: the least a Qt Widgets program does to show a
// main window of Pelmora's size at its place, with a menu bar and one line
// of Japanese, which makes it load the font machinery every window with
// Japanese text needs.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("bare");
    window.menuBar()->addMenu("メニュー")->addAction("得点を見る");
    auto* client = new QWidget(&window);
    auto* label = new QLabel("こんにちわ☆さん", client);
    label->setGeometry(248, 224, 241, 49);
    window.setCentralWidget(client);
    const int menuHeight = window.menuBar()->sizeHint().height();
    window.setGeometry(217, 267 - menuHeight, 507, 289 + menuHeight);
    window.show();
    return app.exec();
}
