"""The main window as a screen reader sees it, and two questions answered
through it alone: the tree, the key images' press actions, the panel's
change events. Usage: assistive_session.sh python3 accessibility_test.py BIN"""
import sys
import unittest

import pyatspi

from atspi_program import Program, centre, find_all, pump, wait_until, x_pointer, xdotool

BIN = sys.argv.pop(1)
RIGHT, WRONG = "おめでとう！正解よ☆", "違うみたい・・・"
BUTTONS = ("開始", "もう一度", "クリア")


class ScreenReaderTest(unittest.TestCase):
    def test_a_question_answered_through_the_accessibility_tree(self):
        with Program(BIN, "花子") as program:
            window = program.window("Pelmora")
            events = []
            listener = lambda event: events.append(event.source)
            pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-name")

            # The panel and the level heading are the only labels, and no
            # object names the pending note or the player's record.
            labels = find_all(window, pyatspi.ROLE_LABEL)
            self.assertEqual(sorted(l.name for l in labels),
                             ["こんにちわ☆花子さん", "レベルを\u3000\u3000\u3000選択してね☆"])
            panel = next(l for l in labels if l.name.startswith("こんにちわ"))
            for caption in ("花子", "音", "開始チェック", "正解時"):
                self.assertEqual(pyatspi.findAllDescendants(window, lambda a: a.name == caption), [], caption)
            self.assertEqual(len(find_all(window, pyatspi.ROLE_IMAGE, "キャラクター")), 1)

            buttons = {b.name: b for b in find_all(window, pyatspi.ROLE_PUSH_BUTTON)}
            keys = [b for b in find_all(window, pyatspi.ROLE_PUSH_BUTTON) if b.name not in BUTTONS]
            self.assertEqual(len(keys), 19)
            for key in keys:
                action = key.queryAction()
                self.assertEqual([action.getName(i) for i in range(action.nActions)], ["Press"], key.name)

            cheering = "頑張ってね☆花子さん"
            shown = [panel.name]

            def show(text):
                """Waits for the panel to show `text` and for each change so far to have come as an event."""
                wait_until(lambda: panel.name == text, repr(text))
                if text != shown[-1]:
                    shown.append(text)
                wait_until(lambda: events.count(panel) == len(shown) - 1, "the change to %r as an event" % text)

            # Each key's name is the note the program names under the pointer.
            for key in keys:
                xdotool("mousemove", *centre(key))
                show("貴方が今さしているのは" + key.name + "ね☆")

            client = panel.parent.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            background = (client.x + 6900 // 15, client.y + 2000 // 15)

            def answer(key):
                """Answers by the key's action, from the bare window; returns the verdict."""
                xdotool("mousemove", *background)
                show(cheering)
                key.queryAction().doAction(0)
                wait_until(lambda: x_pointer() == (500, 450), "the pointer on 開始 after " + key.name)
                verdict = panel.name
                self.assertIn(verdict, (RIGHT, WRONG), key.name)
                show(verdict)
                return verdict

            # The lower parts and black keys first, then the upper strips:
            # each question is answered by trying its keys in turn.
            start, score = buttons["開始"], 0
            for tried in (keys[:12], keys[12:]):
                start.queryAction().doAction(0)
                if shown[-1] == RIGHT:
                    show("頑張ってね☆")
                # The button is down until it clicks, and then answers once the note has played.
                wait_until(lambda: not start.getState().contains(pyatspi.STATE_PRESSED), "the question")
                for key in tried:
                    verdict = answer(key)
                    score += 5 if verdict == RIGHT else -5
                    if verdict == RIGHT:
                        break
                else:
                    self.fail("no key was right")

            look = find_all(window, pyatspi.ROLE_MENU_ITEM, "得点を見る")[0]
            look.queryAction().doAction(0)
            show("今の得点は・・・%dね☆" % score)

            pump()
            strangers = [e for e in events if e != panel]
            self.assertEqual(strangers, [], "only the panel changes its name")
            pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-name")
            status, errors = program.end()
            self.assertEqual(status, 0, errors)


if __name__ == "__main__":
    unittest.main()
