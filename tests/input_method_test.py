"""A new player types a name in kanji through fcitx5 and Mozc, with real keys:
the main window greets that name and the record holds it in CP932.
Usage: assistive_session.sh --input-method python3 input_method_test.py BIN"""
import os
import sys
import unittest

import pyatspi

from atspi_program import Program, centre, find_all, wait_until, xdotool

BIN = sys.argv.pop(1)


class InputMethodTest(unittest.TestCase):
    def test_a_name_typed_in_kanji_is_greeted_and_kept(self):
        with Program(BIN, "名称未設定") as program:
            name_window = program.window("貴方の名前を入力してください")
            entry = find_all(name_window, pyatspi.ROLE_TEXT, "貴方の名前を入れてください")[0]
            xdotool("mousemove", *centre(entry), "click", "1")
            wait_until(lambda: entry.getState().contains(pyatspi.STATE_FOCUSED), "the entry's focus")
            # Mozc's server starts with the first input context; keys typed
            # before it listens go past it.
            session = os.path.join(os.environ["XDG_CONFIG_HOME"], "mozc", ".session.ipc")
            wait_until(lambda: os.path.exists(session), "Mozc's server")

            # Mozc's first candidate for たろう, committed.
            xdotool("type", "--delay", "30", "tarou")
            xdotool("key", "space")
            xdotool("key", "Return")
            text = entry.queryText()
            wait_until(lambda: text.getText(0, -1) == "太郎", lambda: "太郎 in the entry, not %r" % text.getText(0, -1))

            xdotool("mousemove", *centre(find_all(name_window, pyatspi.ROLE_PUSH_BUTTON, "保存")[0]), "click", "1")
            main_window = program.window("Pelmora")
            wait_until(lambda: find_all(main_window, pyatspi.ROLE_LABEL, "こんにちわ☆太郎さん"), "the greeting")

            status, errors = program.end()
            self.assertEqual(status, 0, errors)
            self.assertIn("\r\nユーザー=太郎\r\n".encode("cp932"), program.record())


if __name__ == "__main__":
    unittest.main()
