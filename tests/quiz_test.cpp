#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "quiz/messages.h"
#include "support/fake_platform.h"
#include "quiz/notes.h"
#include "quiz/quiz.h"

namespace pelmora {
namespace {

using testing::FakePlatform;
using testing::FakeView;

// The fixed screen point of every answer, whatever the window's place.
const std::string kPointer = "pointer 500,450";

class QuizTest : public ::testing::Test {
protected:
    FakeView view;
    FakePlatform platform;
    Quiz quiz{view, platform};
    QuizState& state = quiz.state();

    void startWith(float r) {
        platform.randoms = {r};
        quiz.start();
    }
};

TEST(Notes, EachLevelDrawsEveryNoteOfItsOwnEquallyOften) {
    struct Level { int level; std::set<int> notes; };
    const Level levels[] = {
        {1, {1, 2, 3, 4, 5, 6, 7}},
        {2, {8, 9, 10, 11, 12}},
        {3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    const float largest = std::nextafter(1.0f, 0.0f);
    for (const Level& l : levels) {
        // Equal-width slices of r: each note owns the same count of steps.
        std::map<int, int> counts;
        const int steps = 1 << 16;
        for (int i = 0; i < steps; ++i) ++counts[drawNote(l.level, static_cast<float>(i) / steps)];
        std::set<int> seen;
        for (auto [note, count] : counts) seen.insert(note);
        EXPECT_EQ(seen, l.notes) << "level " << l.level;
        const double expected = static_cast<double>(steps) / l.notes.size();
        for (auto [note, count] : counts) EXPECT_NEAR(count, expected, 1.0) << "level " << l.level << " note " << note;
        EXPECT_EQ(drawNote(l.level, 0.0f), *l.notes.begin()) << "level " << l.level;
        EXPECT_EQ(drawNote(l.level, largest), *l.notes.rbegin()) << "level " << l.level;
    }
}

TEST(Notes, SoundPathsUseTheFolderMi) {
    EXPECT_EQ(soundPath("/opt/pelmora", 10), "/opt/pelmora/mi/fas.wav");
    EXPECT_EQ(soundPath("/opt/pelmora", 1), "/opt/pelmora/mi/do.wav");
    EXPECT_EQ(soundPath("/opt/pelmora", 12), "/opt/pelmora/mi/ras.wav");
}

TEST_F(QuizTest, BeforeTheFirstQuestionKeysOnlyMoveThePointer) {
    for (int note = 1; note <= 12; ++note) quiz.answer(note);
    EXPECT_EQ(state.score, 0);
    EXPECT_EQ(state.pendingNote, std::nullopt);
    EXPECT_EQ(state.lastAnswer, Verdict::None);
    EXPECT_EQ(platform.calls, std::vector<std::string>(12, kPointer));
    quiz.replay();
    EXPECT_EQ(platform.calls.size(), 12u) << "replay before a question is silent";
}

TEST_F(QuizTest, StartDrawsStoresAndPlaysTheNote) {
    view.level = 2;
    startWith(0.5f);  // 0.5 * 5 = 2.5 -> 8 + 2 = 10
    EXPECT_EQ(state.pendingNote, 10);
    EXPECT_EQ(state.lastAnswer, Verdict::None);
    EXPECT_EQ(platform.calls, std::vector<std::string>{"play /opt/pelmora/mi/fas.wav"});
    EXPECT_EQ(view.message, "ここにもじをいれます！11文字まで一行に可能") << "panel untouched without a right answer";
}

TEST_F(QuizTest, WrongWrongRightFromZero) {
    startWith(0.0f);  // note 1
    quiz.answer(2);
    EXPECT_EQ(state.score, -5);
    EXPECT_EQ(state.lastAnswer, Verdict::Wrong);
    quiz.answer(8);
    EXPECT_EQ(state.score, -10);
    EXPECT_EQ(state.pendingNote, 1) << "a wrong key keeps the question open";
    view.level = 2;  // the replay is the note asked, not a new draw
    quiz.replay();
    quiz.answer(1);
    EXPECT_EQ(state.score, -5);
    EXPECT_EQ(state.lastAnswer, Verdict::Right);
    EXPECT_EQ(state.pendingNote, std::nullopt);
    // Answered: further keys and replays change nothing but the pointer.
    quiz.answer(1);
    quiz.answer(5);
    quiz.replay();
    EXPECT_EQ(state.score, -5);
    EXPECT_EQ(state.lastAnswer, Verdict::Right);
    // Every key press, judged or not, places the pointer exactly once.
    const std::string note = "play /opt/pelmora/mi/do.wav";
    EXPECT_EQ(platform.calls, (std::vector<std::string>{note, kPointer, kPointer, note, kPointer, kPointer, kPointer}));
}

TEST_F(QuizTest, StartAfterARightAnswerCheersOnlyWhileTheFlagStands) {
    startWith(0.0f);
    quiz.answer(1);
    startWith(0.99f);
    EXPECT_EQ(view.message, "頑張ってね☆");
    EXPECT_EQ(state.pendingNote, 7);
    EXPECT_EQ(state.lastAnswer, Verdict::None);

    view.message = "違うみたい・・・";
    quiz.answer(3);  // wrong
    startWith(0.0f);
    EXPECT_EQ(view.message, "違うみたい・・・") << "after a wrong answer the panel stays";
}

TEST_F(QuizTest, StartWhileOpenReplacesTheNoteWithoutScoring) {
    state.score = 15;
    view.level = 3;
    startWith(0.0f);
    quiz.answer(12);
    startWith(0.99f);
    EXPECT_EQ(state.pendingNote, 12);
    EXPECT_EQ(state.lastAnswer, Verdict::None);
    EXPECT_EQ(state.score, 10);
}

}  // namespace
}  // namespace pelmora
