// The main window with notes it cannot play: no "mi" folder, or note files
// that are empty, cut short, noise, or folders. Every question still starts,
// the keys still judge, the alert sounds in place of the note, and the
// window is back to the player as soon as the alert has sounded.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/system_platform.h"
#include "quiz/notes.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/keyboard.h"
#include "ui/pictures.h"
#include "x_input.h"

extern char** environ;

namespace pelmora::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What reaches the session's null sink while it lives, as loud milliseconds.
class Recording {
public:
    explicit Recording(const fs::path& file) : file_(file) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fd, 1);
        const std::string device = std::string("--device=") + std::getenv("PELMORA_NULL_MONITOR");
        const char* argv[] = {"parec", device.c_str(), "--raw", "--format=s16le", "--rate=44100", "--channels=1",
                              "--latency-msec=10", nullptr};
        if (posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char**>(argv), environ)) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fd);
        // The monitor delivers silence as soon as parec is connected.
        for (int i = 0; i < 300 && pid_ > 0 && size() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Recording() { stop(); }
    bool ready() { return pid_ > 0 && size() > 0; }
    double loudMs() {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the tail's way to the file
        stop();
        std::ifstream in(file_, std::ios::binary);
        std::vector<short> samples(size() / 2);
        in.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * 2));
        auto loud = [](short s) { return std::abs(int(s)) > 300; };
        const auto first = std::find_if(samples.begin(), samples.end(), loud);
        if (first == samples.end()) return 0;
        const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
        return 1000.0 * double(last - first) / 44100;
    }

private:
    size_t size() {
        std::error_code e;
        const auto n = fs::file_size(file_, e);
        return e ? 0 : size_t(n);
    }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    fs::path file_;
    pid_t pid_ = -1;
};

// The real platform; the program folder can be switched between questions.
struct FolderPlatform : SystemPlatform {
    std::string folder;
    double lastPlayMs = -1;
    std::string programFolder() override { return folder; }
    void playSound(const std::string& path, const std::function<void()>& started) override {
        const auto t0 = Clock::now();
        SystemPlatform::playSound(path, started);
        lastPlayMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
};

class BrokenNotes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PELMORA_NULL_MONITOR")) GTEST_SKIP() << "run inside tools/session.sh";
        ASSERT_TRUE(x.connected());
        base = fs::temp_directory_path() / ("pelmora-notes-" + std::to_string(::getpid()));
        fs::remove_all(base);
        fs::create_directories(base);
        platform.folder = folder("start");
        form = new Form1(platform);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    void TearDown() override {
        if (form) form->close();
        QTest::qWait(20);
        fs::remove_all(base);
    }

    std::string folder(const std::string& name) {
        fs::create_directories(base / name);
        return (base / name).string();
    }
    std::string caption(const char* label) { return form->findChild<QLabel*>(label)->text().toStdString(); }
    void click(const char* name) {
        QWidget* w = form->findChild<QWidget*>(name);
        const QPoint p = w->mapToGlobal(w->rect().center());
        x.move(p.x(), p.y());
        x.click();
    }
    const char* keyOf(int note) {
        for (const KeyImage& k : kKeyImages) {
            if (k.note == note) return k.name;
        }
        return nullptr;
    }

    testing::XInput x;
    fs::path base;
    FolderPlatform platform;
    QPointer<Form1> form;
};

TEST_F(BrokenNotes, TheQuizGoesOnWithTheAlertInPlaceOfEachNote) {
    std::ifstream in(fs::path(PELMORA_BIN) / "mi" / "do.wav", std::ios::binary);
    const std::string wav(std::istreambuf_iterator<char>(in), {});
    std::mt19937 rng(3);
    std::string noise(4000, '\0');
    for (char& c : noise) c = char(rng());

    const struct Case {
        const char* name;
        std::function<void(const fs::path& file)> make;  // nullptr: no "mi" at all
    } cases[] = {
        {"no mi folder", nullptr},
        {"empty files", [](const fs::path& f) { std::ofstream(f, std::ios::binary); }},
        {"files cut short", [&](const fs::path& f) { std::ofstream(f, std::ios::binary) << wav.substr(0, wav.size() / 2); }},
        {"noise", [&](const fs::path& f) { std::ofstream(f, std::ios::binary) << noise; }},
        {"folders", [](const fs::path& f) { fs::create_directory(f); }},
    };
    int expectedScore = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.folder = folder(c.name);
        if (c.make) {
            fs::create_directory(base / c.name / "mi");
            for (const Note& n : kNotes) c.make(soundPath(platform.folder, n.index));
        }
        Recording recording(base / "heard.raw");
        ASSERT_TRUE(recording.ready()) << "parec did not start";
        platform.lastPlayMs = -1;
        const auto clicked = Clock::now();
        click("Command8");
        ASSERT_TRUE(QTest::qWaitFor([&] { return platform.lastPlayMs >= 0; }, 10000)) << "開始 played nothing";
        const double backMs = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
        const double heardMs = recording.loudMs();
        const int note = std::stoi(caption("Label7"));
        ASSERT_EQ(caption("Label8"), "1");

        // The alert, not silence and not a stuck call.
        EXPECT_GT(heardMs, 50);
        EXPECT_LT(platform.lastPlayMs, 5000);

        click(keyOf(note == 1 ? 2 : 1));
        expectedScore -= 5;
        ASSERT_TRUE(QTest::qWaitFor([&] { return caption("Label3") == std::to_string(expectedScore); }, 3000));
        click(keyOf(note));
        expectedScore += 5;
        ASSERT_TRUE(QTest::qWaitFor([&] { return caption("Label3") == std::to_string(expectedScore); }, 3000));
        EXPECT_EQ(caption("Label8"), "0");
        EXPECT_EQ(caption("Label9"), "1");
        std::printf("%-16s alert heard %4.0f ms, the call took %4.0f ms, 開始 to the window back %4.0f ms\n", c.name,
                    heardMs, platform.lastPlayMs, backMs);
    }
}

}  // namespace
}  // namespace pelmora::ui
