#include <gtest/gtest.h>

#include "fake_platform.h"
#include "quiz/messages.h"
#include "quiz/quiz.h"

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
    view.fields[Field::Name] = "花子";
    view.fields[Field::Score] = "0";

    messages::startHovered(view);  // launch caption: nothing to show
    EXPECT_EQ(view.text(Field::Message), "ここにもじをいれます！11文字まで一行に可能");

    platform.randoms = {0.0f};
    quiz.start();
    messages::keyHovered(view, 1);
    messages::startHovered(view);  // "0": nothing to show
    EXPECT_EQ(view.text(Field::Message), "貴方が今さしているのはCね☆");

    // After a wrong answer the verdict returns each time, across the background.
    quiz.answer(2);
    for (int i = 0; i < 3; ++i) {
        messages::startHovered(view);
        EXPECT_EQ(view.text(Field::Message), "違うみたい・・・");
        messages::backgroundHovered(view);
        EXPECT_EQ(view.text(Field::Message), "頑張ってね☆花子さん");
        EXPECT_EQ(view.text(Field::LastAnswer), "2");
    }

    // After a right answer it shows until the pointer first crosses the background.
    quiz.answer(1);
    messages::startHovered(view);
    EXPECT_EQ(view.text(Field::Message), "おめでとう！正解よ☆");
    messages::backgroundHovered(view);
    EXPECT_EQ(view.text(Field::LastAnswer), "0");
    messages::startHovered(view);
    EXPECT_EQ(view.text(Field::Message), "頑張ってね☆花子さん");
}

TEST(Messages, ScorePictureAndReset) {
    FakeView view;
    view.fields[Field::Name] = "";
    view.fields[Field::Score] = "-15";
    view.fields[Field::Average] = "22.5";
    messages::showScore(view);
    EXPECT_EQ(view.text(Field::Message), "今の得点は・・・-15ね☆");
    messages::pictureClicked(view);
    EXPECT_EQ(view.text(Field::Message), "私をクリックしても\r\n何もないよ（＾＾；；");
    messages::backgroundHovered(view);
    EXPECT_EQ(view.text(Field::Message), "頑張ってね☆さん");

    view.fields[Field::CurrentNote] = "5";
    view.fields[Field::QuestionOpen] = "1";
    view.fields[Field::LastAnswer] = "2";
    messages::reset(view);
    EXPECT_EQ(view.text(Field::Score), "0");
    EXPECT_EQ(view.text(Field::Average), "0");
    EXPECT_EQ(view.text(Field::CurrentNote), "5") << "a reset leaves the question open";
    EXPECT_EQ(view.text(Field::LastAnswer), "2");
    EXPECT_EQ(view.text(Field::Message), "頑張ってね☆さん");
    messages::showScore(view);
    EXPECT_EQ(view.text(Field::Message), "今の得点は・・・0ね☆");
}

}  // namespace
}  // namespace pelmora
