#include "quiz/quiz.h"

#include "quiz/notes.h"
#include "quiz/number.h"

namespace pelmora {

void Quiz::start() {
    view_.setText(Field::QuestionOpen, "1");
    if (view_.text(Field::LastAnswer) == "1") view_.setText(Field::Message, "頑張ってね☆");
    view_.setText(Field::LastAnswer, "0");
    for (int level = 1; level <= 3; ++level) {
        if (view_.levelSelected(level)) {
            view_.setText(Field::CurrentNote, std::to_string(drawNote(level, platform_.random())));
        }
    }
    playCurrentNote();
}

void Quiz::replay() { playCurrentNote(); }

void Quiz::playCurrentNote() {
    // The current note is compared as text: anything but "1".."12" (the
    // launch caption, "0" after a right answer) plays nothing.
    for (const Note& n : kNotes) {
        if (view_.text(Field::CurrentNote) == std::to_string(n.index)) {
            platform_.playSound(soundPath(platform_.programFolder(), n.index));
        }
    }
}

void Quiz::answer(int note) {
    const double score = parseNumber(view_.text(Field::Score));
    if (view_.text(Field::CurrentNote) == std::to_string(note)) {
        view_.setText(Field::LastAnswer, "1");
        view_.setText(Field::QuestionOpen, "0");
        view_.setText(Field::Score, formatNumber(score + 5));
        view_.setText(Field::CurrentNote, "0");
    } else if (view_.text(Field::QuestionOpen) == "1") {
        view_.setText(Field::LastAnswer, "2");
        view_.setText(Field::Score, formatNumber(score - 5));
    }
    platform_.placePointer(kVerdictPointX, kVerdictPointY);
}

}  // namespace pelmora
