"""Runs a command beside a stand-in for RealtimeKit on a bus of its own, which
the command reaches as its system bus. Like the daemon it grants every
MakeThreadRealtime by setting the thread's policy, so it runs as root; a call
whose caller does not wait for the reply is granted 300 ms late, as a busy
daemon would answer. Each asked thread's id is a line of the file named in
PELMORA_REALTIMEKIT_ASKED. Usage: fake_realtimekit.py COMMAND...
"""
import os
import subprocess
import sys
import tempfile

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

CONFIG = """<busconfig><listen>unix:path={}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy>
</busconfig>"""


class RealtimeKit(dbus.service.Object):
    def __init__(self, bus, asked):
        super().__init__(bus, "/org/freedesktop/RealtimeKit1")
        self.asked = asked

    @dbus.service.method("org.freedesktop.RealtimeKit1", in_signature="tu", message_keyword="message")
    def MakeThreadRealtime(self, tid, priority, message):
        print(tid, file=self.asked, flush=True)

        def grant():
            try:
                os.sched_setscheduler(tid, os.SCHED_RR | os.SCHED_RESET_ON_FORK, os.sched_param(priority))
            except OSError:
                pass  # the thread has ended
            return False

        if message.get_no_reply():
            GLib.timeout_add(300, grant)
        else:
            grant()


def main():
    with tempfile.TemporaryDirectory() as run:
        os.chmod(run, 0o755)  # the command may run as another user
        config = os.path.join(run, "bus.conf")
        with open(config, "w") as f:
            f.write(CONFIG.format(os.path.join(run, "bus")))
        # The address is printed once the bus listens.
        daemon = subprocess.Popen(["dbus-daemon", "--nofork", "--print-address", "--config-file=" + config],
                                  stdout=subprocess.PIPE, text=True)
        try:
            address = daemon.stdout.readline().strip()
            dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
            bus = dbus.bus.BusConnection(address)
            name = dbus.service.BusName("org.freedesktop.RealtimeKit1", bus)  # owned while this holds it
            with open(os.path.join(run, "asked"), "w") as asked:
                kit = RealtimeKit(bus, asked)
                env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address, PELMORA_REALTIMEKIT_ASKED=asked.name)
                command = subprocess.Popen(sys.argv[1:], env=env)
                loop, status = GLib.MainLoop(), []
                GLib.child_watch_add(GLib.PRIORITY_DEFAULT, command.pid,
                                     lambda pid, code: (status.append(code), loop.quit()))
                loop.run()
                return os.waitstatus_to_exitcode(status[0])
        finally:
            daemon.terminate()
            daemon.wait()


if __name__ == "__main__":
    sys.exit(main())
