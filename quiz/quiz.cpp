#include "quiz/quiz.h"

#include "quiz/notes.h"

namespace pelmora {

void Quiz::start() {
    if (state_.lastAnswer == Verdict::Right) view_.showMessage("頑張ってね☆");
    state_.lastAnswer = Verdict::None;
    state_.pendingNote = drawNote(view_.selectedLevel(), platform_.random());
    playPendingNote();
}

void Quiz::replay() { playPendingNote(); }

void Quiz::playPendingNote() {
    if (state_.pendingNote) platform_.playSound(soundPath(platform_.programFolder(), *state_.pendingNote));
}

void Quiz::answer(int note) {
    if (state_.pendingNote == note) {
        state_.lastAnswer = Verdict::Right;
        state_.pendingNote.reset();
        state_.score += 5;
    } else if (state_.pendingNote) {
        state_.lastAnswer = Verdict::Wrong;
        state_.score -= 5;
    }
    platform_.placePointer(kVerdictPointX, kVerdictPointY);
}

}  // namespace pelmora
