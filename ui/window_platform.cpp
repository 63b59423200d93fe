#include "ui/window_platform.h"

#include <QWidget>

namespace pelmora::ui {

void WindowPlatform::playSound(const std::string& path, const std::function<void()>& started) {
    // The thread stays in the player for the whole note: show what the
    // handler has changed so far, once the device has the note's start, so
    // that the paint does not hold the note back.
    system_.playSound(path, [&] {
        window_.repaint();
        if (started) started();
    });
}

void WindowPlatform::placePointer(int x, int y) { pointer_.place(QPoint(x, y)); }

}  // namespace pelmora::ui
