#include "ui/window_platform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace pelmora::ui {

void WindowPlatform::playSound(const std::string& path) {
    // The thread stays in the player for the whole note: show what the
    // handler has changed so far before that.
    window_.repaint();
    system_.playSound(path);
}

void WindowPlatform::placePointer(int x, int y) {
    system_.placePointer(x, y);
    deliverPointerMove(QPoint(x, y));
}

void deliverPointerMove(QPoint global) {
    QWidget* target = QApplication::widgetAt(global);
    if (!target) return;
    QMouseEvent move(QEvent::MouseMove, target->mapFromGlobal(QPointF(global)), QPointF(global),
                     Qt::NoButton, QGuiApplication::mouseButtons(), QGuiApplication::keyboardModifiers());
    QApplication::sendEvent(target, &move);
}

}  // namespace pelmora::ui
