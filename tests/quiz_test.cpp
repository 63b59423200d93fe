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

TEST(Notes, DrawsStayInsideTheirLevel) {
    const float largest = std::nextafter(1.0f, 0.0f);
    std::set<int> seen[4];
    for (int i = 0; i < 100000; ++i) {
        const float r = static_cast<float>(i) / 100000.0f;
        for (int level = 1; level <= 3; ++level) seen[level].insert(drawNote(level, r));
    }
    for (int level = 1; level <= 3; ++level) seen[level].insert(drawNote(level, largest));
    EXPECT_EQ(seen[1], (std::set<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(seen[2], (std::set<int>{8, 9, 10, 11, 12}));
    EXPECT_EQ(seen[3], (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(drawNote(1, largest), 7);
    EXPECT_EQ(drawNote(2, largest), 12);
    EXPECT_EQ(drawNote(3, largest), 12);
    EXPECT_EQ(drawNote(1, 0.0f), 1);
    EXPECT_EQ(drawNote(2, 0.0f), 8);
}

TEST(Notes, EveryIndexOfALevelIsEquallyLikely) {
    // Equal-width slices of r: each index owns the same count of steps.
    for (int level = 1; level <= 3; ++level) {
        std::map<int, int> counts;
        const int steps = 1 << 16;
        for (int i = 0; i < steps; ++i) ++counts[drawNote(level, static_cast<float>(i) / steps)];
        const double expected = static_cast<double>(steps) / counts.size();
        for (auto [index, count] : counts) EXPECT_NEAR(count, expected, 1.0) << "level " << level << " index " << index;
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
    quiz.replay();
    EXPECT_EQ(platform.calls.back(), "play /opt/pelmora/mi/do.wav");
    quiz.answer(1);
    EXPECT_EQ(state.score, -5);
    EXPECT_EQ(state.lastAnswer, Verdict::Right);
    EXPECT_EQ(state.pendingNote, std::nullopt);
    // Answered: further keys and replays change nothing but the pointer.
    const auto before = platform.calls.size();
    quiz.answer(1);
    quiz.answer(5);
    quiz.replay();
    EXPECT_EQ(state.score, -5);
    EXPECT_EQ(state.lastAnswer, Verdict::Right);
    EXPECT_EQ(platform.calls.size(), before + 2);
    EXPECT_EQ(platform.calls.back(), kPointer);
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

TEST_F(QuizTest, ALevelChangedAfterStartDoesNotChangeTheReplay) {
    startWith(0.0f);
    view.level = 2;
    quiz.replay();
    EXPECT_EQ(platform.calls.back(), "play /opt/pelmora/mi/do.wav");
}

TEST_F(QuizTest, ScoresAreUnboundedAndShownWithTheirSign) {
    startWith(0.0f);
    for (int i = 0; i < 50; ++i) quiz.answer(2);
    EXPECT_EQ(state.score, -250);
    messages::showScore(state, view);
    EXPECT_EQ(view.message, "今の得点は・・・-250ね☆");
}

TEST_F(QuizTest, EveryKeyPressPlacesThePointerOnce) {
    startWith(0.0f);
    platform.calls.clear();
    quiz.answer(4);
    quiz.answer(1);
    quiz.answer(1);
    EXPECT_EQ(platform.calls, std::vector<std::string>(3, kPointer));
}

}  // namespace
}  // namespace pelmora
