#pragma once
// The start-up window, where a new player types a name. It gives way to the
// main window at once when a name is already stored.
#include <QWidget>
#include <functional>

#include "platform/platform.h"

class QLineEdit;

namespace pelmora::ui {

class Form3 : public QWidget {
    Q_OBJECT
public:
    // `showMain` opens the main window (loading it the first time).
    Form3(Platform& platform, std::function<void()> showMain);

    // Reads the stored name; shows this window only when it asks for one.
    void Form_Load();

private:
    void buildControls();
    void Command1_Click();

    Platform& platform_;
    std::function<void()> showMain_;
    QLineEdit* name_ = nullptr;    // Text1: the entry
    QLineEdit* stored_ = nullptr;  // Text2: the name read from the record, never shown
};

}  // namespace pelmora::ui
