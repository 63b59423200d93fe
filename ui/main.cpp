// Pelmora: an ear-training quiz. The start-up window asks a new player for
// a name and then opens the main window; the program folder is the folder
// of the executable.
#include <QApplication>
#include <QPointer>
#include <csignal>

#include "platform/system_platform.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/form3.h"

int main(int argc, char* argv[]) {
    // Past a file size limit a save fails the way it does on a full disk,
    // and is reported; the signal's default would end the program there,
    // unsaved, silent, with the half-written file left beside the record.
    std::signal(SIGXFSZ, SIG_IGN);

    // Wayland does not let a program place the pointer, which the quiz does
    // after every answer; on a Wayland desktop that also runs X11 programs,
    // Pelmora is one of those unless the player chose otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    QApplication app(argc, argv);
    pelmora::ui::configureApplication();

    pelmora::SystemPlatform platform;
    QPointer<pelmora::ui::Form1> form1;
    pelmora::ui::Form3 form3(platform, [&] {
        if (!form1) form1 = new pelmora::ui::Form1(platform);
        form1->show();
    });
    pelmora::ui::closeOnTermination([&] {
        if (form1) form1->close();
        else QCoreApplication::quit();
    });
    form3.Form_Load();
    return app.exec();
}
