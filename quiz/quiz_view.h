#pragma once
// The main window as the quiz and the record see it: texts held in the
// captions of its labels, and the level option buttons. The window
// implements this with its controls; tests with plain fields.
#include <string>

namespace pelmora {

enum class Field {
    Message,       // the message panel
    Name,          // the player's name
    Score,         // whole number as text
    Average,       // running average as text
    CurrentNote,   // "1".."12" while a question is open, "0" once answered
    QuestionOpen,  // "1" open, "0" answered right
    LastAnswer,    // "1" right, "2" wrong, "0" nothing to show
    Launches,      // launch count as text
};

class QuizView {
public:
    virtual ~QuizView() = default;
    virtual std::string text(Field field) const = 0;
    virtual void setText(Field field, const std::string& text) = 0;
    // Whether the option button of level 1, 2 or 3 is selected.
    virtual bool levelSelected(int level) const = 0;
};

}  // namespace pelmora
