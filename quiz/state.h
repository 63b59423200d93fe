#pragma once
// What the main window remembers while the program runs: the question, the
// verdict on the last key press, the score, and the player's record.
#include <optional>
#include <string>

namespace pelmora {

enum class Verdict {
    None,  // nothing to show: no answer since the last start, or a right one cheered away
    Right,
    Wrong,
};

struct QuizState {
    // The note of the open question: none before the first question and
    // once it has been answered right.
    std::optional<int> pendingNote;
    Verdict lastAnswer = Verdict::None;
    // Whole points, in the double that the running average is computed in.
    double score = 0;

    // The record as read at start. The average and the launch count stay
    // texts: an average nothing recomputes is stored back as it was read,
    // and the first launch is the one whose count reads exactly "1".
    std::string name;
    std::string average;
    std::string launches;
};

}  // namespace pelmora
