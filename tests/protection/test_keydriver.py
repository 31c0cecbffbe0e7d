#!/usr/bin/python3
"""The driver's own arithmetic, without Wine: the edit model that says what a target must
hold, and the in-order share that says what a logger kept. A fault here would make the
protection tests pass or fail for the wrong reason."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import keydriver as kd  # noqa: E402


class EditModel(unittest.TestCase):
    def test_corrections_and_enter(self):
        self.assertEqual(kd.expected_text(kd.TEXT).split("\r\n")[0], "Dear Ann, The PIN is 4271-9! Hi world.")
        self.assertEqual(kd.expected_text(["ab", kd.ENTER, "c"]), "ab\r\nc")

    def test_backspace_removes_a_whole_line_break(self):
        self.assertEqual(kd.expected_text(["ab", kd.ENTER, kd.BS, "c"]), "abc")

    def test_end_goes_to_the_end_of_the_caret_line_only(self):
        self.assertEqual(kd.expected_text([kd.LEFT, kd.LEFT, "x", kd.END, "y"], "ab\r\ncd"), "ab\r\nxcdy")

    def test_arrows_cross_a_line_break_as_one(self):
        self.assertEqual(kd.expected_text([kd.LEFT, kd.LEFT, kd.LEFT, "x", kd.END, "y"], "ab\r\ncd"), "abxy\r\ncd")
        self.assertEqual(kd.expected_text([kd.LEFT, kd.LEFT, kd.LEFT, kd.RIGHT, "x"], "ab\r\ncd"), "ab\r\nxcd")

    def test_caret_stays_inside_the_text(self):
        self.assertEqual(kd.expected_text([kd.BS, kd.LEFT, "a", kd.RIGHT, kd.RIGHT, "b"]), "ab")

    def test_typing_continues_after_earlier_text(self):
        self.assertEqual(kd.expected_text(["!"], "hi"), "hi!")

    def test_ctrl_shortcut_edits_nothing(self):
        self.assertEqual(kd.expected_text(["a", kd.CTRL_C, "b"]), "ab")


class Shares(unittest.TestCase):
    def test_typed_characters_include_those_deleted(self):
        self.assertTrue(kd.typed_printables(kd.TEXT).startswith("Dear Ann, Tehhe"))

    def test_in_order_share(self):
        self.assertEqual(kd.share("abcd", "abcd"), 1.0)
        self.assertEqual(kd.share("abcd", "xaxbx"), 0.5)
        self.assertEqual(kd.share("abcd", "dcba"), 0.25)
        self.assertEqual(kd.share("abcd", ""), 0.0)

    def test_line_breaks_and_controls_are_not_captured_characters(self):
        self.assertEqual(kd.printables("a\nb\r\x03c"), "abc")
        self.assertEqual(kd.share("ab", "\n\n"), 0.0)

    def test_leaked_characters_are_named_with_the_key_before_them(self):
        self.assertEqual(kd.leak_context(["Teh", kd.BS, kd.BS, "he"], "h"), "'h' after BackSpace")
        self.assertEqual(kd.leak_context(["Teh", kd.BS, kd.BS, "he"], "eh"), "'e' after 'T', 'h' after BackSpace")
        self.assertEqual(kd.leak_context(["a", kd.CTRL_C, "b"], "b\n"), "'b' after Ctrl+c")

    def test_a_mismatch_is_shown_from_a_little_before_it(self):
        text = "x" * 40 + "The PIN"
        self.assertEqual(kd.mismatch(text, "x" * 40 + "Teh PIN", context=3),
                         "  expected (from character 38): 'xxThe PIN'\n  got (from character 38):      'xxTeh PIN'")
        self.assertEqual(kd.mismatch("ab", None), "  expected: 'ab'\n  got:      ''")

    def test_percentile(self):
        self.assertEqual(kd.percentile(list(range(101)), 99), 99)
        self.assertEqual(kd.percentile([5.0], 50), 5.0)


class Segments(unittest.TestCase):
    """A pass owns what its loggers captured from its start to the next pass's start, and
    pairs each typed character with its own arrival in the target."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.logger = kd.Logger.__new__(kd.Logger)
        self.logger.label, self.logger.kind = "ll", "ll"
        self.logger.path = os.path.join(self.dir, "log-ll.txt")
        self.target = kd.KeyTarget.__new__(kd.KeyTarget)
        self.target.name, self.target.path = "keytarget", os.path.join(self.dir, "keytarget.txt")

    def append(self, path, text):
        with open(path, "a") as f:
            f.write(text)

    def test_a_pass_keeps_only_what_was_captured_during_it(self):
        self.append(self.logger.path, "earlier")
        p = kd.Pass(self.target, "slow", ["abc"], "", {"ll": self.logger.size()})
        self.append(self.logger.path, "a\nbc")
        p.ends = {"ll": self.logger.size()}
        self.append(self.logger.path, "later")
        self.assertEqual(p.captured(self.logger), "a\nbc")
        self.assertEqual(p.share(self.logger), 1.0)

    def test_a_logger_started_after_a_pass_has_nothing_in_it(self):
        p = kd.Pass(self.target, "slow", ["abc"], "", {})
        self.append(self.logger.path, "abc")
        self.assertEqual(p.share(self.logger), 0.0)

    def test_delays_pair_each_press_with_its_character(self):
        self.append(self.target.path + ".times", "5 120\n")
        p = kd.Pass(self.target, "fast", ["ab"], "", {})
        # Counter units of 100 ns; the Ctrl+C character between them is not a typed one.
        self.append(self.target.path + ".times", "20000 97\n25000 3\n40000 98\n")
        p.sent = [("a", 1_000_000), ("b", 2_000_000)]
        self.assertEqual(p.delays_ms(offset_ns=500_000, frequency=10_000_000), [0.5, 1.5])

    def test_no_delays_when_the_characters_did_not_arrive_in_order(self):
        p = kd.Pass(self.target, "fast", ["ab"], "", {})
        self.append(self.target.path + ".times", "20000 98\n40000 97\n")
        p.sent = [("a", 1_000_000), ("b", 2_000_000)]
        self.assertEqual(p.delays_ms(0, 10_000_000), [])


if __name__ == "__main__":
    unittest.main()
