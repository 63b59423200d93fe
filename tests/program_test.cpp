// Whole runs of the real program, as a player makes them: start it, play
// with real input, end it, and read the record's bytes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/cp932.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

int run(const std::string& command) { return std::system(command.c_str()); }

// A point of the main window's client area, given in twips, on the screen.
std::string at(int left, int top) {
    return std::to_string(217 + left / 15) + " " + std::to_string(267 + top / 15);
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("pelmora-run-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const char* item : {"pelmora", "libpelmora_sound.so", "mi"}) {
            fs::copy(fs::path(PELMORA_BIN) / item, folder / item, fs::copy_options::recursive);
        }
    }
    void TearDown() override {
        if (pid > 0) ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
        fs::remove_all(folder);
    }

    void writeRecord(const std::string& utf8) { writeBytes(cp932::fromUtf8(utf8)); }
    void writeBytes(const std::string& bytes) { std::ofstream(folder / "date.ini", std::ios::binary) << bytes; }
    std::string record() {
        std::ifstream in(folder / "date.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void start() {
        const std::string err = (folder / "stderr.txt").string();
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 2);
            const std::string program = (folder / "pelmora").string();
            ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        ASSERT_EQ(run("timeout 20 xdotool search --sync --onlyvisible --class '^pelmora$' >/dev/null"), 0);
        std::this_thread::sleep_for(300ms);
    }
    void xdotool(const std::string& args) { ASSERT_EQ(run("xdotool " + args), 0) << args; }
    // Ends the program as the desktop would and returns its exit status.
    int end() {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string errors() {
        std::ifstream in(folder / "stderr.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A level-2 question answered with `wrong` white keys: every answer is wrong.
    void playWrong(int wrong) {
        xdotool("mousemove --sync " + at(6480 + 300, 960 + 120) + " click 1");  // レベル2
        xdotool("mousemove --sync " + at(3720 + 367, 2640 + 187) + " click 1");  // 開始
        const int keys[] = {3720, 4080, 4440, 4800, 5160, 5520, 5880};
        for (int i = 0; i < wrong; ++i) xdotool("mousemove " + at(keys[i] + 172, 1680 + 400) + " click 1");
        xdotool("mousemove 5 5");
        std::this_thread::sleep_for(2500ms);  // the note, then the queued presses
    }

    fs::path folder;
    pid_t pid = -1;
};

TEST_F(ProgramTest, ThreeRunsKeepTheRecordAndEverythingElseInIt) {
    const std::string before = "[設定]\r\n色=青\r\n[情報]\r\nユーザー=花子\r\nメモ=そのまま\r\n";
    writeRecord(before);
    const struct { int wrong; const char* average; } runs[] = {{4, "-20"}, {2, "-15"}, {6, "-22.5"}};
    int count = 0;
    for (const auto& r : runs) {
        start();
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
    start();
    xdotool("mousemove --sync " + std::to_string(344 + 100) + " " + std::to_string(348 + 49) + " click 1");
    xdotool("type --delay 20 Taro");
    xdotool("mousemove --sync " + std::to_string(344 + 88 + 44) + " " + std::to_string(348 + 80 + 12) + " click 1");
    ASSERT_EQ(run("timeout 10 xdotool search --sync --onlyvisible --name '^Pelmora$' >/dev/null"), 0);
    ASSERT_EQ(end(), 0);
    EXPECT_EQ(record(), cp932::fromUtf8("[情報]\r\nユーザー=Taro\r\n得点=0\r\n平均点=0\r\n起動回数=1\r\n"));

    // Ending while the name window waits stores nothing.
    fs::copy_file(fs::path(PELMORA_SOURCE) / "assets/date.ini", folder / "date.ini",
                  fs::copy_options::overwrite_existing);
    start();
    ASSERT_EQ(end(), 0);
    EXPECT_EQ(record(), cp932::fromUtf8("[情報]\r\nユーザー=名称未設定\r\n"));
}

TEST_F(ProgramTest, AnyRecordContentStartsAndIsKept) {
    std::string garbage;
    for (int i = 0; i < 1 << 20; ++i) garbage += static_cast<char>((i * 2654435761u) >> 13);
    garbage += std::string("\0\0[情報\r\n=\r\n\x81\r\n", 14);
    writeBytes(garbage);
    start();
    playWrong(1);
    ASSERT_EQ(end(), 0);
    const std::string after = record();
    ASSERT_GE(after.size(), garbage.size());
    EXPECT_EQ(after.substr(0, garbage.size()), garbage);
    EXPECT_NE(after.find(cp932::fromUtf8("得点=-5\r\n")), std::string::npos);
    EXPECT_NE(after.find(cp932::fromUtf8("起動回数=1\r\n")), std::string::npos);
}

TEST_F(ProgramTest, ARecordThatCannotBeWrittenIsReportedOnce) {
    fs::create_directory(folder / "date.ini");
    start();
    ASSERT_EQ(end(), 0);
    const std::string text = errors();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("date.ini"), std::string::npos) << text;
}

// The pictures are part of the program: with nothing but the program and a
// record in its folder, the screen shows the key and the illustration pixel
// for pixel as drawn in assets/pictures.
TEST_F(ProgramTest, ThePicturesNeedNoFileBesideTheProgram) {
    fs::remove_all(folder / "mi");
    writeRecord("[情報]\r\nユーザー=花子\r\n");
    start();
    const struct { const char* file; QRect onScreen; } shown[] = {
        {"white-lower-cf.gif", QRect(217 + 3720 / 15, 267 + 1680 / 15, 23, 42)},
        {"character.jpg", QRect(217 + 2, 267 + 2, 229, 285)},  // inside the box's 2-pixel border
    };
    for (const auto& [file, onScreen] : shown) {
        const std::string grab = (folder / "grab.png").string();
        xdotool("mousemove 5 5");
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
