#include "quiz/messages.h"

#include "quiz/notes.h"
#include "quiz/number.h"

namespace pelmora::messages {

std::string keyText(int n) { return std::string("貴方が今さしているのは") + note(n).letter + "ね☆"; }

void keyHovered(QuizView& view, int note) { view.showMessage(keyText(note)); }

void startHovered(const QuizState& state, QuizView& view) {
    if (state.lastAnswer == Verdict::Right) {
        view.showMessage("おめでとう！正解よ☆");
    } else if (state.lastAnswer == Verdict::Wrong) {
        view.showMessage("違うみたい・・・");
    }
}

void backgroundHovered(QuizState& state, QuizView& view) {
    view.showMessage("頑張ってね☆" + state.name + "さん");
    if (state.lastAnswer == Verdict::Right) state.lastAnswer = Verdict::None;
}

void showScore(const QuizState& state, QuizView& view) {
    view.showMessage("今の得点は・・・" + formatNumber(state.score) + "ね☆");
}

void pictureClicked(QuizView& view) { view.showMessage("私をクリックしても\r\n何もないよ（＾＾；；"); }

void reset(QuizState& state) {
    state.score = 0;
    state.average = "0";
}

}  // namespace pelmora::messages
