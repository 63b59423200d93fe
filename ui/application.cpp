#include "ui/application.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "ui/pictures.h"

namespace pelmora::ui {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

void configureApplication() {
    // Naming Japanese faces first keeps Japanese glyph shapes whatever the
    // locale's fallback order would pick for kanji. The IPA faces have the
    // line height of the Windows faces the layout was drawn with, so two
    // lines of 9 points fit a 25-pixel label.
    QFont font;
    font.setFamilies({"ＭＳ Ｐゴシック", "IPAPGothic", "Noto Sans CJK JP", "Sans Serif"});
    font.setPointSize(9);
    QApplication::setFont(font);
    QApplication::setWindowIcon(QIcon(picture("icon.png")));
}

void closeOnTermination(std::function<void()> close) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [close = std::move(close)] {
        char byte;
        [[maybe_unused]] const auto got = ::read(signalPipe[1], &byte, 1);
        close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
    // Ending the desktop session closes the window the same way.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, [] { onSignal(0); });
}

}  // namespace pelmora::ui
