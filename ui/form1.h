#pragma once
// The main window: the keyboard, the three buttons, the level choice and the
// message panel. The quiz state lives in the captions of its labels.
#include <QMainWindow>
#include <functional>
#include <map>

#include "quiz/quiz.h"
#include "quiz/quiz_view.h"
#include "ui/window_platform.h"

class QLabel;
class QRadioButton;

namespace pelmora::ui {

class Form1 : public QMainWindow, public QuizView {
    Q_OBJECT
public:
    // Creating the window loads it: the record is read before it is shown.
    explicit Form1(Platform& platform);

    std::string text(Field field) const override;
    void setText(Field field, const std::string& text) override;
    bool levelSelected(int level) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct PointerHandlers {
        std::function<void()> mouseDown{};  // any button going down
        std::function<void()> click{};     // left button pressed and released on the control
        std::function<void()> mouseMove{};  // only while the pointer is inside the control
        // A push button's left click, taken as the release arrives: Qt
        // repaints a clicked button, and waits for the display, before it
        // tells of the click. The window is painted again as a note starts,
        // so the note need not wait for that.
        std::function<void()> buttonClick{};
    };

    void buildControls();
    void buildMenus();
    void place();
    QLabel* addLabel(QLabel* label, const char* name, QRect geometry);
    void on(QWidget* control, PointerHandlers handlers);

    void Form_Load();
    void Form_Unload();
    void Form_MouseMove();
    void Command8_Click();
    void Command8_MouseMove();
    void Command9_Click();
    void Command10_Click();
    void Picture1_Click();
    void look_Click();
    void syoki_Click();
    void tyo_Click();

    WindowPlatform platform_;
    Quiz quiz_;
    std::map<Field, QLabel*> fields_;
    QRadioButton* options_[3] = {};
    std::map<QObject*, PointerHandlers> handlers_;
    QObject* pressed_ = nullptr;  // the control a left button went down on
};

}  // namespace pelmora::ui
