#pragma once
// The start-up window, where a new player types a name. It gives way to the
// main window at once when a name is already stored.
#include <QWidget>
#include <functional>

#include "platform/platform.h"

class QLineEdit;

namespace pelmora::ui {

class NameWindow : public QWidget {
    Q_OBJECT
public:
    // `showMain` opens the main window (loading it the first time).
    NameWindow(Platform& platform, std::function<void()> showMain);

    // Reads the stored name; shows this window only when it asks for one.
    void load();

private:
    void buildControls();
    void saveClicked();

    Platform& platform_;
    std::function<void()> showMain_;
    QLineEdit* name_ = nullptr;
};

}  // namespace pelmora::ui
