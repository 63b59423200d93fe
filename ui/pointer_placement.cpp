#include "ui/pointer_placement.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace pelmora::ui {
namespace {

enum class Display { X11, Xwayland, Wayland };

bool xwayland(xcb_connection_t* connection) {
    // Xwayland 23.1 and later carry an extension of that name; older ones
    // name their RandR outputs XWAYLAND0, XWAYLAND1, ...
    const char name[] = "XWAYLAND";
    std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> extension(
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr),
        &std::free);
    if (extension && extension->present) return true;
    const auto screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen* screen) { return screen->name().startsWith(name); });
}

Display display() {
    static const Display kind = [] {
        if (QGuiApplication::platformName().startsWith("wayland")) return Display::Wayland;
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 && xwayland(x11->connection()) ? Display::Xwayland : Display::X11;
    }();
    return kind;
}

}  // namespace

PointerPlacement::PointerPlacement(std::function<void(QPoint)> warp, QWidget& window)
    : warp_(std::move(warp)), window_(window) {
    if (QGuiApplication::platformName().startsWith("wayland")) window_.installEventFilter(this);
}

void PointerPlacement::place(QPoint target) {
    held_ = nullptr;
    const Display kind = display();
    if (kind == Display::X11) {
        warp_(target);
    } else {
        const QPoint from = QCursor::pos();
        if (kind == Display::Xwayland && cursorCanFollow(target)) {
            warpHidden(target);
            judging_ = true;
            judgedFrom_ = from;
            judgedTarget_ = target;
            listen(true);
        } else if (window_.underMouse()) {
            hold(from);
        }
    }
    if (kind == Display::Wayland) {
        const QPoint inWindow = target - shownAt_;
        sendPointerMove(window_.childAt(inWindow), window_.mapToGlobal(inWindow));
    } else {
        deliverPointerMove(target);
    }
}

bool PointerPlacement::cursorCanFollow(QPoint target) const {
    // The compositor locks the pointer only for the focused window under it,
    // and a lock keeps it inside that window.
    return !hintIgnored_ && window_.isActiveWindow() && window_.underMouse() && window_.geometry().contains(target);
}

void PointerPlacement::warpHidden(QPoint target) {
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    warp_(target);
    // Shown again once Xwayland has taken the hidden warp; the program's own
    // context, so that a window closing meanwhile cannot leave it hidden.
    QTimer::singleShot(0, qApp, [] { QGuiApplication::restoreOverrideCursor(); });
}

void PointerPlacement::hold(QPoint at) {
    held_ = window_.childAt(window_.mapFromGlobal(at));
    listen(true);
}

void PointerPlacement::listen(bool on) {
    if (on) qApp->installEventFilter(this);
    else qApp->removeEventFilter(this);
}

bool PointerPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Show) {
            shownAt_ = window_.geometry().topLeft();
            window_.removeEventFilter(this);
        }
        return false;
    }
    // Only the window system's moves: the ones this program sends itself
    // are not the player's.
    if (event->type() != QEvent::MouseMove || !event->spontaneous() || !watched->isWidgetType()) return false;
    const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    if (judging_ && at != judgedTarget_) {
        // The warp's own move arrives at the target; the next comes from the
        // compositor, on from wherever it has the cursor.
        judging_ = false;
        hintIgnored_ = (at - judgedFrom_).manhattanLength() < (at - judgedTarget_).manhattanLength();
        if (hintIgnored_) hold(at);
    }
    bool swallowed = false;
    if (held_) {
        swallowed = held_->rect().contains(held_->mapFromGlobal(at));
        if (!swallowed) held_ = nullptr;
    }
    if (!judging_ && !held_) listen(false);
    return swallowed;
}

void deliverPointerMove(QPoint global) { sendPointerMove(QApplication::widgetAt(global), global); }

void sendPointerMove(QWidget* control, QPoint global) {
    if (!control) return;
    QMouseEvent move(QEvent::MouseMove, control->mapFromGlobal(QPointF(global)), QPointF(global), Qt::NoButton,
                     QGuiApplication::mouseButtons(), QGuiApplication::keyboardModifiers());
    QApplication::sendEvent(control, &move);
}

}  // namespace pelmora::ui
