#pragma once
// The main window: the keyboard, the three buttons, the level choice and the
// message panel, showing the quiz that it holds.
#include <QMainWindow>
#include <functional>
#include <map>

#include "quiz/quiz.h"
#include "quiz/quiz_view.h"
#include "ui/layout.h"
#include "ui/window_platform.h"

class QLabel;
class QRadioButton;

namespace pelmora::ui {

class MainWindow : public QMainWindow, public QuizView {
    Q_OBJECT
public:
    // Creating the window loads it: the record is read before it is shown.
    explicit MainWindow(Platform& platform);

    Quiz& quiz() { return quiz_; }
    const QuizState& state() const { return quiz_.state(); }
    QString message() const;

    void showMessage(const std::string& text) override;
    int selectedLevel() const override;

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

    void buildControls(QWidget* client);
    void buildKeyboard(QWidget* client);
    QWidget* buildButtons(QWidget* client);
    void buildMenus();
    void place();
    QLabel* addLabel(QLabel* label, const char* name, const layout::Place& place);
    void on(QWidget* control, PointerHandlers handlers);
    void saveRecord();

    WindowPlatform platform_;
    Quiz quiz_;
    QLabel* panel_ = nullptr;
    QRadioButton* levels_[3] = {};
    std::map<QObject*, PointerHandlers> handlers_;
    QObject* pressed_ = nullptr;  // the control a left button went down on
    bool painted_ = false;
};

}  // namespace pelmora::ui
