// Whole runs of the real program, as a player makes them: start it, play
// with real input, end it, and read the record's bytes.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/cp932.h"
#include "support/program_run.h"
#include "support/session_sound_server.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int run(const std::string& command) { return std::system(command.c_str()); }

// Where a place of the main window's client area shows on the screen.
QRect onScreen(const ui::layout::Place& place) {
    const int t = ui::layout::kTwipsPerPixel;
    return QRect(ui::layout::kMainOrigin.x + place.left / t, ui::layout::kMainOrigin.y + place.top / t,
                 place.width / t, place.height / t);
}

class ProgramTest : public testing::ProgramRun {
protected:
    void writeText(const std::string& utf8) { writeRecord(cp932::fromUtf8(utf8)); }
    // The program up, and its window drawn.
    void begin() {
        ASSERT_GE(start(), 0);
        std::this_thread::sleep_for(300ms);
    }
};

TEST_F(ProgramTest, ThreeRunsKeepTheRecordAndEverythingElseInIt) {
    const std::string before = "[設定]\r\n色=青\r\n[情報]\r\nユーザー=花子\r\nメモ=そのまま\r\n";
    writeText(before);
    const struct { int wrong; const char* average; } runs[] = {{4, "-20"}, {2, "-15"}, {6, "-22.5"}};
    int count = 0;
    for (const auto& r : runs) {
        begin();
        playWrong(r.wrong);
        ASSERT_EQ(end(), 0);
        ++count;
        EXPECT_EQ(record(), cp932::fromUtf8(before + "得点=-" + std::to_string(5 * r.wrong) + "\r\n平均点=" +
                                            r.average + "\r\n起動回数=" + std::to_string(count) + "\r\n"));
    }
    EXPECT_EQ(errors(), "");
}

TEST_F(ProgramTest, ANewPlayerRegistersAName) {
    fs::copy_file(fs::path(PELMORA_SOURCE) / "assets/date.ini", folder / "date.ini");
    begin();
    clickOn(ui::layout::kNameEntry, ui::layout::kNameOrigin);
    x.type("Taro");
    clickOn(ui::layout::kNameSave, ui::layout::kNameOrigin);
    ASSERT_TRUE(waitForWindow("Pelmora"));
    ASSERT_EQ(end(), 0);
    EXPECT_EQ(record(), cp932::fromUtf8("[情報]\r\nユーザー=Taro\r\n得点=0\r\n平均点=0\r\n起動回数=1\r\n"));

    // Ending while the name window waits stores nothing.
    fs::copy_file(fs::path(PELMORA_SOURCE) / "assets/date.ini", folder / "date.ini",
                  fs::copy_options::overwrite_existing);
    begin();
    ASSERT_EQ(end(), 0);
    EXPECT_EQ(record(), cp932::fromUtf8("[情報]\r\nユーザー=名称未設定\r\n"));
}

TEST_F(ProgramTest, ARecordThatCannotBeWrittenIsReportedOnce) {
    fs::create_directory(folder / "date.ini");
    begin();
    ASSERT_EQ(end(), 0);
    const std::string text = errors();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("date.ini"), std::string::npos) << text;
}

// A sound server that stops answering costs the player the notes, not the
// game: the answers are judged and stored, and the program ends as asked.
TEST_F(ProgramTest, AStoppedSoundServerCostsTheNotesNotTheGame) {
    const testing::SessionSoundServer server;
    if (!server.known()) GTEST_SKIP() << "run inside tools/session.sh";
    writeText("[情報]\r\nユーザー=花子\r\n");
    begin();
    server.stop();
    playWrong(2, 4000ms);
    ASSERT_EQ(end(), 0) << "the program did not end";
    server.resume();
    EXPECT_EQ(record(), cp932::fromUtf8("[情報]\r\nユーザー=花子\r\n得点=-10\r\n平均点=-10\r\n起動回数=1\r\n"));
}

// The pictures are part of the program: with nothing but the program and a
// record in its folder, the screen shows the key and the illustration pixel
// for pixel as drawn in assets/pictures.
TEST_F(ProgramTest, ThePicturesNeedNoFileBesideTheProgram) {
    fs::remove_all(folder / "mi");
    writeText("[情報]\r\nユーザー=花子\r\n");
    begin();
    const struct { const char* file; QRect onScreen; } shown[] = {
        {"white-lower-cf.gif", onScreen(ui::kKeyImages[0].place)},
        {"character.jpg", onScreen(ui::layout::kPicture).adjusted(2, 2, -2, -2)},  // inside the box's 2-pixel border
    };
    for (const auto& [file, onScreen] : shown) {
        const std::string grab = (folder / "grab.png").string();
        x.move(5, 5);
        ASSERT_EQ(run("import -window root -crop " + std::to_string(onScreen.width()) + "x" +
                      std::to_string(onScreen.height()) + "+" + std::to_string(onScreen.x()) + "+" +
                      std::to_string(onScreen.y()) + " " + grab),
                  0);
        const QImage screen = QImage(QString::fromStdString(grab)).convertToFormat(QImage::Format_RGB32);
        const QImage drawn = QImage(PELMORA_SOURCE "/assets/pictures/" + QString(file))
                                 .convertToFormat(QImage::Format_RGB32)
                                 .copy(0, 0, onScreen.width(), onScreen.height());
        ASSERT_EQ(screen.size(), drawn.size()) << file;
        int differing = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) differing += screen.pixel(x, y) != drawn.pixel(x, y);
        EXPECT_EQ(differing, 0) << file;
    }
    ASSERT_EQ(end(), 0);
    EXPECT_EQ(errors(), "");
}

}  // namespace
}  // namespace pelmora
