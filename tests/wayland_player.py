"""Plays two answers in Pelmora under a Wayland compositor, the way a player
does: pointer and buttons through mutter's remote-desktop session, the panel
read through AT-SPI, the pointer as Pelmora sees it on Xwayland, and the
cursor the player sees as a Wayland window under it hears it.

Run by wayland_test.sh as mutter's child: python3 wayland_player.py FOLDER RESULT
writes "passed" or the failures to RESULT; with --probe it prints where the
compositor has the cursor (see real_cursor)."""
import os
import subprocess
import sys
import time

import dbus
import pyatspi

from atspi_program import centre, wait_until, x_pointer

VERDICTS = ("おめでとう！正解よ☆", "違うみたい・・・")
TARGET = (500, 450)
BTN_LEFT = 0x110
failures = []


def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, not {want!r}")


class Pointer:
    """mutter's own pointer, moved relatively as a mouse moves it."""

    def __init__(self):
        bus = dbus.SessionBus()
        desktop = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
        path = dbus.Interface(desktop, "org.gnome.Mutter.RemoteDesktop").CreateSession()
        self.session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                                      "org.gnome.Mutter.RemoteDesktop.Session")
        self.session.Start()

    def move(self, dx, dy):
        self.session.NotifyPointerMotionRelative(float(dx), float(dy))
        time.sleep(0.3)

    def button(self, down):
        self.session.NotifyPointerButton(BTN_LEFT, down)
        time.sleep(0.3)

    def click(self):
        self.button(True)
        self.button(False)

    def go_to(self, point):
        # From the screen's corner, where the pointer stops whatever it was,
        # then by what Xwayland reports, which follows the cursor while it
        # shows over Pelmora's window.
        self.move(-5000, -5000)
        self.move(*point)
        for _ in range(5):
            at = x_pointer()
            if at == point:
                return
            self.move(point[0] - at[0], point[1] - at[1])
        raise SystemExit(f"cannot bring the pointer to {point}: Xwayland has it at {x_pointer()}")


def controls(app):
    """The panel, found by the greeting it opens with, the start button and
    the two images of the key C."""
    found = {"C": []}

    def walk(node):
        for child in node:
            if child.getRole() == pyatspi.ROLE_LABEL and child.name.startswith("こんにちわ☆"):
                found["panel"] = child
            elif child.getRole() == pyatspi.ROLE_PUSH_BUTTON and child.name == "開始":
                found["start"] = child
            elif child.getRole() == pyatspi.ROLE_PUSH_BUTTON and child.name == "C":
                found["C"].append(child)
            walk(child)

    walk(app)
    return found if len(found) == 3 and len(found["C"]) == 2 else None


def real_cursor(pointer):
    """Where mutter has the cursor: a Wayland window over the whole screen
    hears the pointer move on from there."""
    probe = subprocess.Popen([sys.executable, __file__, "--probe"], env=dict(os.environ, GDK_BACKEND="wayland"),
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    time.sleep(1.5)
    pointer.move(1, 0)
    out, _ = probe.communicate(timeout=10)
    return tuple(int(v) for v in out.split()[:2]) or None


def probe():
    import gi
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gdk, GLib, Gtk

    window = Gtk.Window(decorated=False)
    window.add_events(Gdk.EventMask.POINTER_MOTION_MASK)

    def moved(_, event):
        if window.get_size() == (window.get_screen().get_width(), window.get_screen().get_height()):
            print(int(event.x_root), int(event.y_root), flush=True)
            window.disconnect_by_func(moved)
            Gtk.main_quit()

    window.connect("motion-notify-event", moved)
    window.fullscreen()
    window.show_all()
    GLib.timeout_add(5000, Gtk.main_quit)
    Gtk.main()


def answer(pointer, panel, start, key, how):
    pointer.go_to(start)
    pointer.click()  # a new question
    pointer.go_to(key)
    pointer.click()  # a lower key answers while its button is still down, an upper strip on release
    expect(f"the pointer Pelmora sees after a {how}", x_pointer(), TARGET)
    pointer.move(2, 2)
    expect(f"the pointer Pelmora sees after a {how} and a (+2, +2) move", x_pointer(), (502, 452))
    if panel.name not in VERDICTS:
        failures.append(f"after a {how} and a (+2, +2) move the panel shows {panel.name!r}, not a verdict")


def main(folder):
    desktop = pyatspi.Registry.getDesktop(0)  # starts the accessibility bus before Pelmora looks for it
    program = subprocess.Popen([os.path.join(folder, "pelmora")],
                               env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    try:
        app = wait_until(lambda: next((a for a in desktop if a is not None and a.name == "pelmora"), None),
                         "Pelmora on the accessibility bus")
        found = wait_until(lambda: controls(app), "Pelmora's controls on the accessibility bus")
        component = found["start"].queryComponent()
        if not component.contains(*TARGET, pyatspi.DESKTOP_COORDS):
            box = component.getExtents(pyatspi.DESKTOP_COORDS)
            raise SystemExit(f"the main window does not open at its place: 開始 is at {box}")
        # The lower part answers when a button goes down, the upper strip on a click.
        upper, lower = sorted((centre(c) for c in found["C"]), key=lambda p: p[1])
        pointer = Pointer()
        answer(pointer, found["panel"], centre(found["start"]), lower, "press on the lower C")
        answer(pointer, found["panel"], centre(found["start"]), upper, "click on the upper C")
        expect("the cursor the player sees, one pixel on", real_cursor(pointer), (503, 452))
    finally:
        program.terminate()
        program.wait(timeout=10)


if sys.argv[1] == "--probe":
    probe()
    sys.exit()
try:
    main(sys.argv[1])
except (SystemExit, AssertionError) as stop:
    failures.append(str(stop))
with open(sys.argv[2], "w") as out:
    out.write("\n".join(failures) if failures else "passed")
