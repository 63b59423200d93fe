"""The real program in a folder of its own, looked at as a screen reader
looks at it: through AT-SPI, on the buses that assistive_session.sh starts
(or the Wayland session's, for wayland_player.py)."""
import os
import shutil
import signal
import subprocess
import tempfile
import time

import pyatspi
from gi.repository import GLib


def pump():
    """Lets AT-SPI deliver the events that have arrived."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_until(done, what, seconds=20):
    """Returns what `done` returns once that is true; `what`, or what it
    returns then, says what was awaited."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        result = done()
        if result:
            return result
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + (what() if callable(what) else what))


def find_all(root, role, name=None):
    return pyatspi.findAllDescendants(
        root, lambda a: a.getRole() == role and (name is None or a.name == name))


def centre(accessible):
    extents = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def x_pointer():
    """Where the X server has the pointer."""
    out = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True, check=True)
    fields = dict(line.split("=") for line in out.stdout.split())
    return int(fields["X"]), int(fields["Y"])


class Program:
    """Started with a record holding `name` as the player's name."""

    def __init__(self, bin_dir, name):
        self.folder = tempfile.mkdtemp(prefix="pelmora-atspi-")
        for item in ("pelmora", "libpelmora_sound.so", "mi"):
            source = os.path.join(bin_dir, item)
            target = os.path.join(self.folder, item)
            (shutil.copytree if os.path.isdir(source) else shutil.copy2)(source, target)
        with open(self.record_path(), "wb") as record:
            record.write(("[情報]\r\nユーザー=" + name + "\r\n").encode("cp932"))
        self.errors = open(os.path.join(self.folder, "stderr.txt"), "w+")
        self.process = subprocess.Popen([os.path.join(self.folder, "pelmora")], stderr=self.errors)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.errors.close()
        shutil.rmtree(self.folder)

    def record_path(self):
        return os.path.join(self.folder, "date.ini")

    def record(self):
        with open(self.record_path(), "rb") as record:
            return record.read()

    def window(self, title):
        """The program's top-level window of that title, once it shows."""
        def found():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.get_process_id() == self.process.pid:
                    for window in app:
                        if window.name == title and window.getState().contains(pyatspi.STATE_SHOWING):
                            return window
            return None
        def seen():
            apps = []
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None:
                    windows = ", ".join(repr(w.name) + (" showing" if w.getState().contains(pyatspi.STATE_SHOWING)
                                                        else "") for w in app)
                    apps.append("%s (pid %d: %s)" % (app.name, app.get_process_id(), windows))
            display = subprocess.run(["xdpyinfo"], capture_output=True).returncode == 0
            return "the window %s of pid %d; the desktop has %s; the display %s; the program %s" % (
                title, self.process.pid, "; ".join(apps) or "no application",
                "answers" if display else "does not answer",
                "runs" if self.process.poll() is None else "ended with %d, saying %r" % (
                    self.process.returncode, self.stderr_text()))
        return wait_until(found, seen)

    def stderr_text(self):
        self.errors.flush()
        self.errors.seek(0)
        return self.errors.read()

    def end(self):
        """Ends the program as the desktop does; returns its exit status."""
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=20)
        self.errors.seek(0)
        return status, self.errors.read()
