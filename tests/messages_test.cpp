#include <gtest/gtest.h>

#include "quiz/messages.h"
#include "quiz/quiz.h"
#include "support/fake_platform.h"

namespace pelmora {
namespace {

using testing::FakePlatform;
using testing::FakeView;

TEST(Messages, KeyTextsNameTheNote) {
    EXPECT_EQ(messages::keyText(1), "貴方が今さしているのはCね☆");
    EXPECT_EQ(messages::keyText(8), "貴方が今さしているのはC#ね☆");
    EXPECT_EQ(messages::keyText(12), "貴方が今さしているのはA#ね☆");
    EXPECT_EQ(messages::keyText(7), "貴方が今さしているのはBね☆");
}

TEST(Messages, TheVerdictFollowsThePointer) {
    FakeView view;
    FakePlatform platform;
    Quiz quiz(view, platform);
    QuizState& state = quiz.state();
    state.name = "花子";

    messages::startHovered(state, view);  // at launch: nothing to show
    EXPECT_EQ(view.message, "ここにもじをいれます！11文字まで一行に可能");

    platform.randoms = {0.0f};
    quiz.start();
    messages::keyHovered(view, 1);
    messages::startHovered(state, view);  // a new question: nothing to show
    EXPECT_EQ(view.message, "貴方が今さしているのはCね☆");

    // After a wrong answer the verdict returns each time, across the background.
    quiz.answer(2);
    for (int i = 0; i < 3; ++i) {
        messages::startHovered(state, view);
        EXPECT_EQ(view.message, "違うみたい・・・");
        messages::backgroundHovered(state, view);
        EXPECT_EQ(view.message, "頑張ってね☆花子さん");
        EXPECT_EQ(state.lastAnswer, Verdict::Wrong);
    }

    // After a right answer it shows until the pointer first crosses the background.
    quiz.answer(1);
    messages::startHovered(state, view);
    EXPECT_EQ(view.message, "おめでとう！正解よ☆");
    messages::backgroundHovered(state, view);
    EXPECT_EQ(state.lastAnswer, Verdict::None);
    messages::startHovered(state, view);
    EXPECT_EQ(view.message, "頑張ってね☆花子さん");
}

TEST(Messages, ScoreOfAnySizePictureAndReset) {
    FakeView view;
    FakePlatform platform;
    Quiz quiz(view, platform);
    QuizState& state = quiz.state();
    state.score = -15;
    state.average = "22.5";
    messages::showScore(state, view);
    EXPECT_EQ(view.message, "今の得点は・・・-15ね☆");
    messages::pictureClicked(view);
    EXPECT_EQ(view.message, "私をクリックしても\r\n何もないよ（＾＾；；");
    messages::backgroundHovered(state, view);
    EXPECT_EQ(view.message, "頑張ってね☆さん");

    platform.randoms = {0.5f};
    quiz.start();
    for (int i = 0; i < 50; ++i) quiz.answer(1);
    EXPECT_EQ(state.score, -265) << "scores have no floor";
    messages::showScore(state, view);
    EXPECT_EQ(view.message, "今の得点は・・・-265ね☆");
    messages::reset(state);
    EXPECT_EQ(state.score, 0);
    EXPECT_EQ(state.average, "0");
    EXPECT_EQ(state.pendingNote, 4) << "a reset leaves the question open";
    EXPECT_EQ(state.lastAnswer, Verdict::Wrong);
    EXPECT_EQ(view.message, "今の得点は・・・-265ね☆") << "a reset leaves the panel as it was";
    messages::showScore(state, view);
    EXPECT_EQ(view.message, "今の得点は・・・0ね☆");
    quiz.answer(4);
    EXPECT_EQ(state.score, 5) << "the open question still scores, from 0";
}

}  // namespace
}  // namespace pelmora
