#pragma once
// What the message panel says as the pointer moves and the menus are used,
// and the two commands that reset the score and the average.
#include <string>

#include "quiz/quiz_view.h"
#include "quiz/state.h"

namespace pelmora::messages {

// "貴方が今さしているのは" + the note's letter + "ね☆".
std::string keyText(int note);

void keyHovered(QuizView& view, int note);
// The verdict on the last answer, shown while the pointer is on the start button.
void startHovered(const QuizState& state, QuizView& view);
// Cheers the player by name and clears a right-answer verdict.
void backgroundHovered(QuizState& state, QuizView& view);
void showScore(const QuizState& state, QuizView& view);
void pictureClicked(QuizView& view);
// Score and running average back to 0.
void reset(QuizState& state);

}  // namespace pelmora::messages
