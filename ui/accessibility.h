#pragma once
// What assistive technology (a screen reader, through AT-SPI) is told of the
// main window's keys: push buttons named for their notes.
#include <QLabel>
#include <QWidget>
#include <functional>

namespace pelmora::ui {

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
