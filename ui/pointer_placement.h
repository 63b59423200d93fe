#pragma once
// Placing the pointer after an answer so that the cursor the player sees
// goes there too, and the control now under it hears of the move at once.
//
// On X11 the pointer simply moves. Under Xwayland a program moves only
// Xwayland's idea of the pointer, except while the cursor is hidden: then
// Xwayland locks the pointer and hands the point to the compositor as the
// lock's cursor-position hint, which mutter, sway and weston honour when the
// cursor shows again. Where the cursor cannot follow (the window is not the
// focused one under the pointer, the point lies outside it, the compositor
// has once ignored the hint, or Qt runs on Wayland itself), it stays where it
// is drawn and so does the pointer: the window shows what the placement
// would have shown and keeps it until the pointer leaves the control it is
// on, as on X11 it would until the pointer leaves the start button.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <functional>

class QWidget;

namespace pelmora::ui {

class PointerPlacement : public QObject {
public:
    // `warp` moves the window system's pointer; `window` holds the controls
    // the player answers with.
    PointerPlacement(std::function<void(QPoint)> warp, QWidget& window);

    void place(QPoint target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool cursorCanFollow(QPoint target) const;
    void warpHidden(QPoint target);
    void hold(QPoint at);
    void listen(bool on);

    std::function<void(QPoint)> warp_;
    QWidget& window_;
    // Where the window was shown: on Wayland, which tells a program nothing
    // of where its window stands, it counts as standing there.
    QPoint shownAt_;
    bool hintIgnored_ = false;
    // Until the first real move after a hidden warp: where the cursor was
    // and where it was sent, to tell which of the two it moves on from.
    bool judging_ = false;
    QPoint judgedFrom_, judgedTarget_;
    QPointer<QWidget> held_;  // the control the cursor stayed on
};

// Sends a pointer-move event to the control under `global`, if it is one of
// this program's.
void deliverPointerMove(QPoint global);
// Sends a pointer-move event at `global` to `control`, if there is one.
void sendPointerMove(QWidget* control, QPoint global);

}  // namespace pelmora::ui
