#include "quiz/messages.h"

#include "quiz/notes.h"

namespace pelmora::messages {

std::string keyText(int n) { return std::string("貴方が今さしているのは") + note(n).letter + "ね☆"; }

void keyHovered(QuizView& view, int note) { view.setText(Field::Message, keyText(note)); }

void startHovered(QuizView& view) {
    const std::string flag = view.text(Field::LastAnswer);
    if (flag == "1") {
        view.setText(Field::Message, "おめでとう！正解よ☆");
    } else if (flag == "2") {
        view.setText(Field::Message, "違うみたい・・・");
    }
}

void backgroundHovered(QuizView& view) {
    view.setText(Field::Message, "頑張ってね☆" + view.text(Field::Name) + "さん");
    if (view.text(Field::LastAnswer) == "1") view.setText(Field::LastAnswer, "0");
}

void showScore(QuizView& view) {
    view.setText(Field::Message, "今の得点は・・・" + view.text(Field::Score) + "ね☆");
}

void pictureClicked(QuizView& view) {
    view.setText(Field::Message, "私をクリックしても\r\n何もないよ（＾＾；；");
}

void reset(QuizView& view) {
    view.setText(Field::Score, "0");
    view.setText(Field::Average, "0");
}

}  // namespace pelmora::messages
