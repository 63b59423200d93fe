#pragma once
// What assistive technology (a screen reader, through AT-SPI) is told of the
// main window. The state labels hold the quiz's answer, so it is told nothing
// of them; the key images are push buttons named for their notes.
#include <QLabel>
#include <QWidget>
#include <functional>

namespace pelmora::ui {

// The client area of the main window: its children as assistive
// technology sees them leave out the state labels.
class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent);
};

// A caption the quiz reads and writes and the player never perceives: no
// accessible object at all, so its changes reach no screen reader either.
class StateLabel : public QLabel {
    Q_OBJECT
public:
    StateLabel(const QString& caption, QWidget* parent);
};

// A key image: a push button named for its note, whose press action runs
// `press`, the handler its mouse press or click runs.
class KeyImageLabel : public QLabel {
    Q_OBJECT
public:
    KeyImageLabel(const QString& note, std::function<void()> press, QWidget* parent);
    void press() const { press_(); }

private:
    std::function<void()> press_;
};

}  // namespace pelmora::ui
