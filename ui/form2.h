#pragma once
// The credits window: the program, its version, the people who made it and
// the addresses of their pages, each of which opens a link window.
#include <QWidget>
#include <map>

namespace pelmora::ui {

class Form2 : public QWidget {
    Q_OBJECT
public:
    // Shows the credits window, creating it when it is not open.
    static Form2* open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Form2();

    void Label1_Click();
    void Label3_Click();
    void Label5_Click();

    std::map<QObject*, void (Form2::*)()> links_;
    QObject* pressed_ = nullptr;  // the link a left button went down on
};

}  // namespace pelmora::ui
