// Pelmora: an ear-training quiz. The start-up window asks a new player for
// a name and then opens the main window; the program folder is the folder
// of the executable.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <thread>

#include "platform/system_platform.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/name_window.h"

namespace {

// Without it Qt aborts where it finds no display it can open.
bool waylandPlatformInstalled() {
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    return std::any_of(folders.begin(), folders.end(), [](const QString& folder) {
        return !QDir(folder + "/platforms").entryList({"libqwayland*"}, QDir::Files).isEmpty();
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    // Past a file size limit a save fails the way it does on a full disk,
    // and is reported; the signal's default would end the program there,
    // unsaved, silent, with the half-written file left beside the record.
    std::signal(SIGXFSZ, SIG_IGN);

    // Wayland does not let a program place the pointer, which the quiz does
    // after every answer; Xwayland does, for a cursor hidden meanwhile. On a
    // Wayland desktop Pelmora is an X11 program unless the player chose
    // otherwise; without Xwayland, Qt's own Wayland platform must do.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
            qputenv("QT_QPA_PLATFORM", "xcb");
        } else if (!waylandPlatformInstalled()) {
            std::cerr << "pelmora: this Wayland desktop runs no X11 programs (Xwayland), and Qt's Wayland "
                         "platform (Debian package qt6-wayland) is not installed\n";
            return 1;
        }
    }

    // Reading the font configuration and its caches is a third of the work
    // before the first frame, and needs nothing of Qt: a second core does it
    // while Qt loads its platform plugin and connects to the display. Qt's
    // font database then finds it done; were both to run at once, fontconfig
    // would keep one result and drop the other.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(argc, argv);
    fontConfiguration.join();
    pelmora::ui::configureApplication();

    pelmora::SystemPlatform platform;
    QPointer<pelmora::ui::MainWindow> mainWindow;
    pelmora::ui::NameWindow nameWindow(platform, [&] {
        if (!mainWindow) mainWindow = new pelmora::ui::MainWindow(platform);
        mainWindow->show();
    });
    pelmora::ui::closeOnTermination([&] {
        if (mainWindow) mainWindow->close();
        else QCoreApplication::quit();
    });
    nameWindow.load();
    return app.exec();
}
