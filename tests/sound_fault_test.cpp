// The main window with notes it cannot play: no "mi" folder, or note files
// that are empty, cut short, noise, or folders. Every question still starts,
// the keys still judge, the alert sounds in place of the note, and the
// window is back to the player as soon as the alert has sounded.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "quiz/notes.h"
#include "support/main_window_test.h"
#include "support/null_sink_recorder.h"

namespace pelmora::ui {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The program folder is switched between questions.
class BrokenNotes : public testing::MainWindowTest<> {
protected:
    void SetUp() override {
        if (!std::getenv("PELMORA_NULL_MONITOR")) GTEST_SKIP() << "run inside tools/session.sh";
        makeFolder("notes");
        openWindow();
    }
    std::string folderFor(const std::string& name) {
        fs::create_directories(folder / name);
        return (folder / name).string();
    }
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
        platform.folder = folderFor(c.name);
        if (c.make) {
            fs::create_directory(folder / c.name / "mi");
            for (const Note& n : kNotes) c.make(soundPath(platform.folder, n.index));
        }
        testing::NullSinkRecorder recording;
        ASSERT_TRUE(recording.ready()) << "parec did not start";
        platform.lastPlayMs = -1;
        const auto clicked = Clock::now();
        click("Command8");
        ASSERT_TRUE(QTest::qWaitFor([&] { return platform.lastPlayMs >= 0; }, 10000)) << "開始 played nothing";
        const double backMs = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
        const double heardMs = testing::loudMs(recording.stop(), recording.rate());
        ASSERT_TRUE(state().pendingNote);
        const int note = *state().pendingNote;

        // The alert, not silence and not a stuck call.
        EXPECT_GT(heardMs, 50);
        EXPECT_LT(platform.lastPlayMs, 5000);

        click(key(note == 1 ? 2 : 1));
        expectedScore -= 5;
        ASSERT_TRUE(waitFor([&] { return state().score == expectedScore; }, 3000));
        click(key(note));
        expectedScore += 5;
        ASSERT_TRUE(waitFor([&] { return state().score == expectedScore; }, 3000));
        EXPECT_EQ(state().pendingNote, std::nullopt);
        EXPECT_EQ(state().lastAnswer, Verdict::Right);
        std::printf("%-16s alert heard %4.0f ms, the call took %4.0f ms, 開始 to the window back %4.0f ms\n", c.name,
                    heardMs, platform.lastPlayMs, backMs);
    }
}

}  // namespace
}  // namespace pelmora::ui
