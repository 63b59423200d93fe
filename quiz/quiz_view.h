#pragma once
// The main window as the quiz sees it: the message panel it writes to and
// the level the option buttons choose. The window implements this with its
// controls; tests with plain fields.
#include <string>

namespace pelmora {

class QuizView {
public:
    virtual ~QuizView() = default;
    virtual void showMessage(const std::string& text) = 0;
    // 1, 2 or 3: the level whose option button is selected now.
    virtual int selectedLevel() const = 0;
};

}  // namespace pelmora
