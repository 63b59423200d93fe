// main() of the test programs that open the real windows: the application
// object and the program folder they take their browser and sound from.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/sound_library.h"
#include "ui/application.h"
#include "ui/browser_library.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display: ctest lists every program's
    // tests, window ones too, before it picks those of a label.
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    pelmora::ui::setBrowserFolder(PELMORA_BIN);
    pelmora::sound_library::setFolder(PELMORA_BIN);
    pelmora::ui::configureApplication();
    return RUN_ALL_TESTS();
}
