#include "ui/window_platform.h"

#include <QWidget>

namespace pelmora::ui {

void WindowPlatform::playSound(const std::string& path) {
    // The thread stays in the player for the whole note: show what the
    // handler has changed so far before that.
    window_.repaint();
    system_.playSound(path);
}

void WindowPlatform::placePointer(int x, int y) { pointer_.place(QPoint(x, y)); }

}  // namespace pelmora::ui
