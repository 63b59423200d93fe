#include "ui/application.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "ui/deferred_icons.h"
#include "ui/pictures.h"

namespace pelmora::ui {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

// The first of `faces` that is installed, as the font's only family. Named
// alone, a face looks for fallback faces only when a glyph is missing; a
// list of families has Qt sort all the fonts for every script of the text
// (kana, kanji, Latin) before the first paint. The installed families are
// compared as listed: looking a name up as an alias costs a fontconfig
// substitution each, so a face is named by each of its names.
QFont firstInstalled(const QStringList& faces, int pointSize) {
    QFont font;
    const QStringList installed = QFontDatabase::families();
    for (const QString& face : faces) {
        if (installed.contains(face)) {
            font.setFamily(face);
            break;
        }
    }
    font.setPointSize(pointSize);
    return font;
}

}  // namespace

void configureApplication() {
    // Naming Japanese faces first keeps Japanese glyph shapes whatever the
    // locale's fallback order would pick for kanji. The IPA faces have the
    // line height of the Windows faces the layout was drawn with, so two
    // lines of 9 points fit a 25-pixel label.
    QApplication::setFont(firstInstalled({"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "Noto Sans CJK JP"}, 9));
    QApplication::setWindowIcon(programIcon());
    QApplication::setStyle(styleWithDeferredIcons());
}

QFont panelFont() { return firstInstalled({"ＭＳ 明朝", "MS Mincho", "IPAMincho", "Noto Serif CJK JP"}, 12); }

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
