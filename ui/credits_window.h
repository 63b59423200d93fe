#pragma once
// The credits window: the program, its version, the people who made it and
// the addresses of their pages, each of which opens a link window.
#include <QWidget>
#include <map>

namespace pelmora::ui {

struct LinkPage;

class CreditsWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the credits window, creating it when it is not open.
    static CreditsWindow* open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CreditsWindow();

    std::map<QObject*, const LinkPage*> links_;  // each link label's page
    QObject* pressed_ = nullptr;  // the link a left button went down on
};

}  // namespace pelmora::ui
