#pragma once
// Asking a note and judging the key the player presses.
#include "platform/platform.h"
#include "quiz/quiz_view.h"
#include "quiz/state.h"

namespace pelmora {

// Where the pointer goes after every key press: on the start button while
// the main window stands where it opens, so the verdict shows there.
inline constexpr int kVerdictPointX = 500;
inline constexpr int kVerdictPointY = 450;

class Quiz {
public:
    Quiz(QuizView& view, Platform& platform) : view_(view), platform_(platform) {}

    // The start button: opens a question with a fresh note of the selected
    // level and plays it.
    void start();
    // The replay button: plays the pending note again, if there is one.
    void replay();
    // A key of the keyboard, answering with note index `note`.
    void answer(int note);

    QuizState& state() { return state_; }
    const QuizState& state() const { return state_; }

private:
    void playPendingNote();

    QuizView& view_;
    Platform& platform_;
    QuizState state_;
};

}  // namespace pelmora
