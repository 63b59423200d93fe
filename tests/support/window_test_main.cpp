// main() of the test programs that open the real windows: the application
// object and the program folder they take their browser and sound from.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/sound_library.h"
#include "ui/application.h"
#include "ui/browser_library.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    pelmora::ui::setBrowserFolder(PELMORA_BIN);
    pelmora::sound_library::setFolder(PELMORA_BIN);
    pelmora::ui::configureApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
