"""Types for real into Windows programs under Wine and measures what the test loggers keep.

The programs come from tests/protection (keylog.exe, keytarget.exe, keyhost.exe) in a Windows
build folder; Wine's own notepad.exe is the second target. Keys are sent through XTest on the
X display in $DISPLAY: for Wine these are device events like a keyboard's, not injected input.
Wine hands keys only to the window that has the X input focus, and with no window manager
under Xvfb nobody else gives it: the driver sets it and waits until the Windows side agrees.

Used by tests/protection/protection_test, keyattacks.py and bench/protection_bench.
"""
import os
import queue
import shutil
import statistics
import subprocess
import threading
import time

import Xlib.protocol.event
from Xlib import X, XK
from Xlib import display as xdisplay
from Xlib.ext import xtest

# Wine's own programs, and where Wine finds each.
WINE_PROGRAMS = {"notepad.exe": "notepad.exe", "regedit.exe": "regedit.exe", "wineconsole": "wineconsole",
                 "wordpad.exe": "C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe"}

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))

# Every logger kind of keylog.exe, and the labels of the loggers the library must leave with
# nothing typed: "ll-after" is a low-level hook set after protection was switched on. The
# raw-input and message-hook loggers are measured and reported but not in this list: the raw
# input of a keyboard reaches Wine's raw-input sinks before any hook is asked, and a message
# hook sees the WM_CHAR that the library itself posts to the focus window.
LOGGER_KINDS = ["ll", "async", "state", "raw", "kbhook", "msghook"]
DEFEATED = ["ll-before", "ll-after", "async", "state", "kbhook"]
PROTECTED_LOGGERS = {"ll-before": "ll", "async": "async", "state": "state", "raw": "raw",
                     "kbhook": "kbhook", "msghook": "msghook"}

# Key pacing in seconds: (key held, pause after it). Slow is a careful typist, fast a quick one.
# Slow holds each key longer than the 50 ms for which Wine's GetAsyncKeyState answers "up"
# from a per-thread cache, so that the polling logger can see every key.
SPEEDS = {"slow": (0.090, 0.030), "fast": (0.008, 0.012)}

BS, LEFT, RIGHT, END, ENTER = ("key", "BackSpace"), ("key", "Left"), ("key", "Right"), ("key", "End"), ("key", "Return")
CTRL_C = ("ctrl", "c")  # copies an empty selection: edits nothing, and is not the program's hot key

# The typed text: capitals, digits, punctuation on both shift levels, a Backspace correction,
# a correction after Left arrows, Enter and a Ctrl shortcut.
TEXT = ["Dear Ann, Teh", BS, BS, "he PIN is 4271-9! Hi wrld", LEFT, LEFT, LEFT, "o", END, ".", ENTER,
        CTRL_C, "Pay $30 @ 5% #2 & (ok) <x> [a] {b} \"q\" 'r' a_b+c=d; e:f? g/h \\ i|j ~`^*"]
SHORT_TEXT = ["Back again, ", "Zed 77!", ENTER]


def is_printable(c):
    return c >= " " and c != "\x7f"


def printables(text):
    return "".join(c for c in text if is_printable(c))


def typed_printables(actions):
    """The printable characters typed, in order, including those deleted afterwards."""
    return "".join(a for a in actions if isinstance(a, str))


def expected_text(actions, before=""):
    """What a multi-line edit holds after the actions, starting from `before` with the caret
    at its end: Enter inserts CR LF, which the arrows and Backspace cross as one; End goes
    to the end of the caret's line."""
    text, caret = list(before), len(before)
    for a in actions:
        if isinstance(a, str):
            text[caret:caret] = list(a)
            caret += len(a)
        elif a == BS and caret > 0:
            n = 2 if caret >= 2 and text[caret - 2:caret] == ["\r", "\n"] else 1
            del text[caret - n:caret]
            caret -= n
        elif a == LEFT and caret > 0:
            caret -= 2 if caret >= 2 and text[caret - 2:caret] == ["\r", "\n"] else 1
        elif a == RIGHT and caret < len(text):
            caret += 2 if text[caret:caret + 2] == ["\r", "\n"] else 1
        elif a == END:
            while caret < len(text) and text[caret] != "\r":
                caret += 1
        elif a == ENTER:
            text[caret:caret] = ["\r", "\n"]
            caret += 2
    return "".join(text)


def lcs(a, b):
    """Length of the longest common subsequence."""
    if not a or not b:
        return 0
    prev = [0] * (len(b) + 1)
    for ca in a:
        cur = [0]
        for j, cb in enumerate(b):
            cur.append(prev[j] + 1 if ca == cb else max(prev[j + 1], cur[j]))
        prev = cur
    return prev[-1]


def share(typed, captured):
    """The share of the typed characters a capture holds in order."""
    return lcs(typed, printables(captured)) / len(typed) if typed else 0.0


def leak_context(actions, captured):
    """For captured characters, matched in order against the typed ones: each with the key
    typed just before it, e.g. "'h' after BackSpace". Of equal characters, one typed right
    after a key that is no character is taken first, as that is where a key is let through."""
    typed = []
    previous = "the start"
    for a in actions:
        if isinstance(a, str):
            for c in a:
                typed.append((c, previous))
                previous = repr(c)
        else:
            previous = ("Ctrl+" if a[0] == "ctrl" else "") + a[1]
    out, i = [], 0
    for c in printables(captured):
        same = [j for j in range(i, len(typed)) if typed[j][0] == c]
        if not same:
            continue
        j = next((j for j in same if not typed[j][1].startswith("'")), same[0])
        out.append(f"{c!r} after {typed[j][1]}")
        i = j + 1
    return ", ".join(out)


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    k = min(len(ordered) - 1, max(0, round(p / 100 * (len(ordered) - 1))))
    return ordered[k]


def wait_for(check, timeout, interval=0.05):
    """Polls check() until it returns something true or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def read_bytes(path, start=0):
    try:
        with open(path, "rb") as f:
            f.seek(start)
            return f.read()
    except FileNotFoundError:
        return b""


def size_of(path):
    try:
        return os.path.getsize(path)
    except FileNotFoundError:
        return 0


class Failure(Exception):
    pass


class Host:
    """keyhost.exe: the library's switch, and the driver's eyes on the Windows side."""

    def __init__(self, stick, folder, list_folder=None):
        self.lines = queue.Queue()
        self.states = []  # each state message the host got: (wParam, lParam, accepted)
        lists = [stick.winpath(list_folder) + "\\"] if list_folder else []
        self.proc = stick.popen(["keyhost.exe", stick.winpath(folder) + "\\"] + lists, "keyhost",
                                stdout=subprocess.PIPE)
        threading.Thread(target=self._read, daemon=True).start()
        self.expect("ready", 60)

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            if line.startswith("state "):
                _, w, l, verdict = line.split()
                self.states.append((int(w), int(l), verdict == "accepted"))
            else:
                self.lines.put(line)
        self.lines.put(None)

    def send(self, command):
        self.proc.stdin.write((command + "\n").encode())
        self.proc.stdin.flush()

    def expect(self, prefix, timeout=20):
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            except queue.Empty:
                raise Failure(f"keyhost did not answer '{prefix}' within {timeout} s")
            if line is None:
                raise Failure(f"keyhost ended before answering '{prefix}'")
            if line.startswith(prefix):
                return line[len(prefix):].strip()

    def ask(self, command, timeout=20):
        self.send(command)
        return self.expect(command.split()[0], timeout)

    def foreground(self):
        """(focus class, window class, caption, thread id) of the foreground window."""
        fields = self.ask("fg").split(" ", 2)  # HANDLE THREAD FOCUSCLASS|CLASS|CAPTION
        thread = int(fields[1]) if len(fields) > 1 and fields[1].isdigit() else 0
        parts = ((fields[2] if len(fields) > 2 else "") + "||").split("|", 2)
        return parts[0], parts[1], parts[2], thread

    def edit_text(self, window_class):
        got = self.ask("text " + window_class)
        return None if got == "none" else bytes.fromhex(got).decode("utf-8", "replace")

    def focus_text(self):
        """(class, text) of the foreground's focus window; in a tree, its selected item's text."""
        got = self.ask("focus").split(" ")
        if got[0] == "none":
            return None, None
        return got[0], bytes.fromhex(got[1] if len(got) > 1 else "").decode("utf-8", "replace")

    def wait_state(self, token, since=0, timeout=20):
        """The first state message from self.states[since] on that carries the token:
        (wParam, lParam) or None."""
        found = wait_for(lambda: [s[:2] for s in self.states[since:] if s[1] == token], timeout)
        return found[0] if found else None

    def start_hook(self):
        """StartHook: its answer (the token its state messages carry; "0" when the hook does
        not run), that token as a number (None when there is none) and its first state
        message, (wParam, lParam) or None."""
        since = len(self.states)
        answer = self.ask("start")
        token = int(answer) if answer.isdigit() and answer != "0" else None
        return answer, token, self.wait_state(token, since) if token else None

    def clock_offsets(self, samples=40):
        """Compares the performance counter with CLOCK_MONOTONIC and CLOCK_MONOTONIC_RAW:
        the reading of the round trip that took least, its length, and each clock's offset
        (counter minus clock, in nanoseconds), so that counter readings become Linux times."""
        best = None
        frequency = 0
        for _ in range(samples):
            m0 = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            r0 = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)
            counter, frequency = (int(v) for v in self.ask("clock").split())
            r1 = time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW)
            m1 = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            rtt = max(m1 - m0, r1 - r0)
            ns = counter * 1_000_000_000 // frequency
            sample = {"rtt_ns": rtt, "frequency": frequency,
                      "monotonic_offset_ns": ns - (m0 + m1) // 2, "raw_offset_ns": ns - (r0 + r1) // 2}
            if best is None or rtt < best["rtt_ns"]:
                best = sample
        return best


class KeyTarget:
    window_class = "OmbrixKeyTarget"
    caption = "Ombrix key target"
    focus_class = "edit"

    def __init__(self, stick, name):
        self.stick = stick
        self.name = name
        self.path = os.path.join(stick.workdir, name + ".txt")
        self.proc = stick.popen(["keytarget.exe", stick.winpath(self.path)], name)

    def ready(self):
        return os.path.exists(self.path)

    def text(self):
        return read_bytes(self.path).decode("utf-8", "replace")

    def keys(self):
        """The letter keys the window's thread took as key presses, in order."""
        return read_bytes(self.path + ".keys").decode("ascii", "replace")

    def times(self):
        """(counter, character) of each WM_CHAR the window's thread took, in order."""
        out = []
        for line in read_bytes(self.path + ".times").decode().splitlines():
            counter, code = line.split()
            out.append((int(counter), chr(int(code))))
        return out

    def _request(self, kind, value, timeout):
        """Asks the window's thread for something through OUTFILE.KIND; true once it has
        answered with OUTFILE.KINDset. It reads requests only when nothing else is queued
        to it, so an answer also says that it has read what was queued before."""
        done = self.path + f".{kind}set"
        if os.path.exists(done):
            os.remove(done)
        with open(self.path + f".{kind}.partial", "w") as f:
            f.write(str(value))
        os.replace(self.path + f".{kind}.partial", self.path + f".{kind}")
        return wait_for(lambda: read_bytes(done) == str(value).encode(), timeout)

    def slow_down(self, ms):
        """From now on the window's thread spends `ms` on each key message it reads."""
        if not self._request("busy", ms, 10):
            raise Failure(f"{self.name} did not take {ms} ms a key")

    PAINTS = {"normal": 0, "animated": 1, "unvalidated": 2}

    def paint(self, how, timeout=10):
        """From now on the window and its edit paint `how`: "normal"; "animated", each paint
        making it all invalid again; "unvalidated", WM_PAINT returning without validating."""
        if not self._request("paint", self.PAINTS[how], timeout):
            raise Failure(f"{self.name} did not start painting {how} within {timeout} s")

    def close(self):
        self.stick.host.ask("close " + self.window_class)


class Notepad:
    window_class = "Notepad"
    caption = "Notepad"
    focus_class = "edit"

    def __init__(self, stick):
        self.stick = stick
        self.name = "notepad"
        self.proc = stick.popen(["notepad.exe"], "notepad")

    def ready(self):
        return self.text() is not None

    def text(self):
        return self.stick.host.edit_text(self.window_class)

    def close(self):
        self.stick.host.ask("kill " + self.window_class)


class WineWindow:
    """A window of one of Wine's own programs, known by its class and the class of the window
    in it that takes the keys; its text is what the focus window holds while in front."""

    def __init__(self, stick, name, args, window_class, caption, focus_class):
        self.stick, self.name = stick, name
        self.window_class, self.caption, self.focus_class = window_class, caption, focus_class
        self.proc = stick.popen(args, name) if args else None

    def ready(self):
        return self.stick.host.ask("shown " + self.window_class) == "1"

    def text(self):
        cls, text = self.stick.host.focus_text()
        return text if cls and cls.lower() == self.focus_class.lower() else None

    def close(self):
        self.stick.host.ask("kill " + self.window_class)


class Logger:
    def __init__(self, stick, label, kind):
        self.label, self.kind = label, kind
        self.path = os.path.join(stick.workdir, f"log-{label}.txt")
        self.proc = stick.popen(["keylog.exe", kind, stick.winpath(self.path)], "keylog-" + label)

    def ready(self):
        return os.path.exists(self.path + ".ready")

    def stop(self):
        self.proc.stdin.write(b"quit\n")
        self.proc.stdin.close()
        self.proc.wait(timeout=15)

    def size(self):
        return size_of(self.path)

    def captured(self, start, end=None):
        data = read_bytes(self.path, start)
        if end is not None:
            data = data[:max(0, end - start)]
        return data.decode("utf-8", "replace")


class Pass:
    """One run of typing into one target: what was sent, what arrived, what each logger kept."""

    def __init__(self, target, speed, actions, before, starts):
        self.target, self.speed, self.actions = target, speed, actions
        self.expected = expected_text(actions, before)
        self.typed = typed_printables(actions)
        self.starts = starts
        self.ends = None
        self.sent = []
        self.got = None
        self.times_start = len(target.times()) if isinstance(target, KeyTarget) else 0
        self.times_end = None
        self.facts = None  # what a hung-target pass saw while it typed

    @property
    def exact(self):
        return self.got == self.expected

    def captured(self, logger):
        """What the logger captured during the pass; nothing if it was started later."""
        if logger.label not in self.starts:
            return ""
        end = self.ends[logger.label] if self.ends else None
        return logger.captured(self.starts[logger.label], end)

    def share(self, logger):
        return share(self.typed, self.captured(logger))

    def delays_ms(self, offset_ns, frequency):
        """Per typed character, from its key press to its WM_CHAR in the target, in ms, when
        every printable character arrived in order; else an empty list. offset_ns turns a
        counter reading into CLOCK_MONOTONIC time."""
        if not isinstance(self.target, KeyTarget):
            return []
        arrived = [(c, t) for t, c in self.target.times()[self.times_start:self.times_end] if is_printable(c)]
        if "".join(c for c, _ in arrived) != "".join(c for c, _ in self.sent):
            return []
        return [(counter * 1_000_000_000 // frequency - offset_ns - sent_ns) / 1e6
                for (_, sent_ns), (_, counter) in zip(self.sent, arrived)]


class Stick:
    """One Wine session of the measuring stick: its programs, the X display, the typing."""

    def __init__(self, build, arch, prefix, workdir):
        self.build = os.path.abspath(build)
        self.bin = os.path.join(self.build, "tests", "protection")
        self.arch, self.prefix = arch, prefix
        self.workdir = os.path.abspath(workdir)
        os.makedirs(self.workdir, exist_ok=True)
        for name in os.listdir(self.workdir):
            path = os.path.join(self.workdir, name)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        self.procs = []
        self.loggers = {}
        self.targets = []
        self.passes = []
        self.host = None
        self.offset_ns = 0
        self.frequency = 10_000_000
        self.clock = None
        self.display = xdisplay.Display()
        if not self.display.has_extension("XTEST"):
            raise Failure("the X display has no XTEST extension")

    # --- programs -------------------------------------------------------------------------
    def winpath(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def popen(self, args, name, stdout=subprocess.DEVNULL, cwd=None):
        env = dict(os.environ, OMBRIX_WINEPREFIX=self.prefix, OMBRIX_WINE_ARCH=self.arch)
        exe = WINE_PROGRAMS.get(args[0]) or os.path.join(self.bin, args[0])  # an absolute path stays
        stderr = open(os.path.join(self.workdir, name + ".stderr"), "wb")
        proc = subprocess.Popen([os.path.join(SOURCE_ROOT, "scripts", "wine-run"), exe] + args[1:], env=env,
                                stdin=subprocess.PIPE, stdout=stdout, stderr=stderr, cwd=cwd)
        stderr.close()
        self.procs.append((name, proc))
        return proc

    def start_host(self, library_folder, list_folder=None):
        self.host = Host(self, library_folder, list_folder)
        self.clock = self.host.clock_offsets()
        self.offset_ns = self.clock["monotonic_offset_ns"]
        self.frequency = self.clock["frequency"]

    def start_loggers(self, labels_kinds):
        new = [Logger(self, label, kind) for label, kind in labels_kinds.items()]
        for logger in new:
            self.loggers[logger.label] = logger
        self._wait_ready(new, "logger")
        return new

    def start_targets(self, notepad=True):
        self.targets = [KeyTarget(self, "keytarget")] + ([Notepad(self)] if notepad else [])
        self._wait_ready(self.targets, "target")
        for target in self.targets:
            target.xwindow = self.find_xwindow(target.caption)
        return self.targets

    def _wait_ready(self, items, what):
        for item in items:
            if not wait_for(item.ready, 60, 0.1):
                code = item.proc.poll()
                raise Failure(f"{what} {getattr(item, 'label', getattr(item, 'name', '?'))} did not become ready"
                              + ("" if code is None else f" (it ended with {code})"))

    def close(self):
        for target in self.targets:
            try:
                # A Wine program may have handed its window to another process and ended
                # (wineconsole starts conhost): such a window is closed all the same.
                if target.proc is None or target.proc.poll() is None or isinstance(target, WineWindow):
                    target.close()
            except Exception:
                pass
        for name, proc in self.procs:
            try:
                if proc.stdin and not proc.stdin.closed:
                    proc.stdin.write(b"quit\n")
                    proc.stdin.close()
            except OSError:
                pass
        for name, proc in self.procs:
            try:
                proc.wait(timeout=15)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        self.display.close()

    # --- X --------------------------------------------------------------------------------
    def _windows(self, window):
        yield window
        for child in window.query_tree().children:
            yield from self._windows(child)

    def find_xwindow(self, caption, timeout=30):
        def look():
            for w in self._windows(self.display.screen().root):
                try:
                    name = w.get_wm_name()
                except Exception:
                    continue
                if isinstance(name, bytes):
                    name = name.decode("latin-1")
                if name and caption.casefold() in name.casefold():
                    return w
            return None
        found = wait_for(look, timeout, 0.1)
        if not found:
            raise Failure(f"no X window named '{caption}'")
        return found

    def focus(self, target, timeout=20):
        """Gives the target's X window the input focus until Windows has it in the foreground
        with its edit focused."""
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            # What a window manager does: raise it, give it the X focus and, since Wine's
            # windows take part in WM_TAKE_FOCUS, ask it to take the focus; Wine activates
            # the window on that message, not on the X focus alone.
            target.xwindow.configure(stack_mode=X.Above)
            target.xwindow.set_input_focus(X.RevertToParent, X.CurrentTime)
            protocols = self.display.intern_atom("WM_PROTOCOLS")
            take_focus = self.display.intern_atom("WM_TAKE_FOCUS")
            event = Xlib.protocol.event.ClientMessage(window=target.xwindow, client_type=protocols,
                                                      data=(32, [take_focus, X.CurrentTime, 0, 0, 0]))
            target.xwindow.send_event(event, event_mask=0)
            self.display.sync()
            for _ in range(10):
                last = self.host.foreground()
                if last[1] == target.window_class and last[0].lower() == target.focus_class.lower():
                    self._wait_attached(last[3])
                    return
                time.sleep(0.05)
        raise Failure(f"{target.name} never became the foreground window with its edit focused; "
                      f"Windows shows focus class/window class/caption {last}")

    def _wait_attached(self, thread, timeout=10):
        """A "state" logger attaches to the foreground thread's input once it sees the change,
        and attaching resets that thread's key state: a Shift typed in that moment is lost
        to the target ("Dear" arrives as "dear"). The typing waits until each has turned."""
        for logger in self.loggers.values():
            if logger.kind != "state":
                continue
            path = logger.path + ".attached"
            if not wait_for(lambda: read_bytes(path).split(b" ")[0] == str(thread).encode(), timeout):
                raise Failure(f"logger {logger.label} did not turn to the foreground thread {thread} "
                              f"within {timeout} s (it says {read_bytes(path)!r})")

    def _keycode(self, keysym):
        code = self.display.keysym_to_keycode(keysym)
        if not code:
            raise Failure(f"no key for keysym {keysym:#x}")
        return code

    def _character_key(self, keysym):
        """The key of the main block that gives the keysym, and whether with Shift. Xvfb's
        keymap has '<' on the extra 102nd key and '(' on keypad keys too, which Wine turns
        into other virtual keys than a US keyboard's."""
        keys = [(code, index) for code, index in self.display.keysym_to_keycodes(keysym) if index in (0, 1)]
        if not keys:
            raise Failure(f"no key gives keysym {keysym:#x}")
        main = [k for k in keys if k[0] <= 66] or keys
        code, index = min(main)
        return code, index == 1

    def _tap(self, keycode, hold, modifiers=()):
        for m in modifiers:
            xtest.fake_input(self.display, X.KeyPress, m)
        if modifiers:
            self.display.sync()
            time.sleep(min(hold, 0.005))
        sent = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        xtest.fake_input(self.display, X.KeyPress, keycode)
        self.display.sync()
        time.sleep(hold)
        xtest.fake_input(self.display, X.KeyRelease, keycode)
        for m in reversed(modifiers):
            xtest.fake_input(self.display, X.KeyRelease, m)
        self.display.sync()
        return sent

    def type(self, actions, speed):
        """Types the actions; returns (character, press time in CLOCK_MONOTONIC ns) of each
        printable character."""
        hold, pause = SPEEDS[speed]
        shift = self._keycode(XK.string_to_keysym("Shift_L"))
        control = self._keycode(XK.string_to_keysym("Control_L"))
        sent = []
        for a in actions:
            if isinstance(a, str):
                for c in a:
                    code, shifted = self._character_key(ord(c))
                    sent.append((c, self._tap(code, hold, (shift,) if shifted else ())))
                    time.sleep(pause)
            else:
                kind, name = a
                code = self._keycode(XK.string_to_keysym(name) if kind == "key" else ord(name))
                self._tap(code, hold, (control,) if kind == "ctrl" else ())
                time.sleep(pause)
        return sent

    # --- passes ---------------------------------------------------------------------------
    def seal(self):
        """Ends the capture segment of the last pass here."""
        if self.passes and self.passes[-1].ends is None:
            p = self.passes[-1]
            p.ends = {label: lg.size() for label, lg in self.loggers.items()}
            if isinstance(p.target, KeyTarget):
                p.times_end = len(p.target.times())

    def run_pass(self, target, actions, speed, text_timeout=30, typing=None, expected=None):
        """Focuses the target and types (through `typing(pass)` when given, which returns
        what self.type returns); waits for the target to hold the expected text (or the time
        to run out) and returns the pass."""
        self.focus(target)
        # A window slow to answer (a loaded machine) gives no text yet, which is not an empty one.
        got = wait_for(lambda: (lambda t: None if t is None else [t])(target.text()), 30)
        if got is None:
            raise Failure(f"{target.name} did not tell its text before the typing")
        before = got[0]
        self.seal()
        p = Pass(target, speed, actions, before, {label: lg.size() for label, lg in self.loggers.items()})
        if expected is not None:
            p.expected = expected  # where the window makes more of the keys than the text typed
        self.passes.append(p)
        p.sent = typing(p) if typing else self.type(actions, speed)
        p.got = wait_for(lambda: (lambda t: t if t == p.expected else None)(target.text()), text_timeout)
        if p.got is None:
            p.got = target.text()
        return p

    def hung_typing(self, target, first, second, seconds=10, threshold=5.0):
        """A typing for run_pass: asks the target to stop answering for `seconds`, types
        `first` at once and `second` once the target has not answered for longer than
        Windows' hung threshold. Returns (typing, facts), facts filled in while it types."""
        facts = {}

        def typing(p):
            request = target.path + ".hang"
            with open(request + ".partial", "w") as f:
                f.write(str(seconds))
            os.replace(request + ".partial", request)
            if not wait_for(lambda: os.path.exists(target.path + ".hung"), 10):
                raise Failure(f"{target.name} did not start hanging")
            hung_at = time.monotonic()
            sizes = {label: lg.size() for label, lg in self.loggers.items()}
            sent = self.type(first, p.speed)
            # The scenario needs the window to be hung by Windows' rule: no answer for longer
            # than the threshold. Nothing is read here; the typing goes on after it.
            time.sleep(max(0.0, hung_at + threshold + 0.5 - time.monotonic()))
            facts["reported_hung"] = self.host.ask("hung " + target.window_class)
            sent += self.type(second, p.speed)
            facts["still_hung"] = not os.path.exists(target.path + ".awake")
            facts["during_hang"] = {label: lg.captured(sizes[label]) for label, lg in self.loggers.items()}
            return sent
        return typing, facts

    def tray_menu(self, item, items, owner):
        """Moves the pointer onto the (only) tray icon as a hand does, right-clicks it once the
        icon's program (its window's class `owner`) has seen the pointer come, and clicks the
        menu's `item` (0 for the first) of its `items`. Returns whether a menu came."""
        tray = self.find_xwindow("Wine System Tray")
        tray.configure(stack_mode=X.Above)
        g = tray.get_geometry()
        for step in range(5, -1, -1):
            xtest.fake_input(self.display, X.MotionNotify, x=g.x + 10 + 8 * step, y=g.y + 10 + 8 * step)
            self.display.sync()
            time.sleep(0.05)
        time.sleep(0.3)
        # A hand waits for nothing, but a program busy elsewhere sees the pointer late, after
        # the click has moved the foreground; what this test checks is what it does then.
        for window in ("Wine System Tray", owner):  # the pointer's way to the program
            got = self.host.ask(f"answers {window}", 45)
            if got != "1":
                raise Failure(f"the window {window} does not answer: {got!r}")
        shown = {w.id for w in self._menus()}
        xtest.fake_input(self.display, X.ButtonPress, 3)
        xtest.fake_input(self.display, X.ButtonRelease, 3)
        self.display.sync()
        menu = wait_for(lambda: next((w for w in self._menus() if w.id not in shown), None), 20, 0.1)
        if not menu:
            return False
        m = menu.get_geometry()
        x, y = m.x + m.width // 2, m.y + m.height * (2 * item + 1) // (2 * items)
        xtest.fake_input(self.display, X.MotionNotify, x=x, y=y)
        self.display.sync()
        time.sleep(0.2)
        xtest.fake_input(self.display, X.ButtonPress, 1)
        xtest.fake_input(self.display, X.ButtonRelease, 1)
        self.display.sync()
        # A menu stays open when the click finds its item greyed.
        if not wait_for(lambda: all(w.id != menu.id for w in self._menus()), 10, 0.1):
            raise Failure(f"the tray menu stayed open after a click on its item {item}: greyed?")
        return True

    def _menus(self):
        """The popup menus on the screen: override-redirect windows that are shown."""
        found = []
        for w in self.display.screen().root.query_tree().children:
            try:
                a = w.get_attributes()
                if a.override_redirect and a.map_state == X.IsViewable and w.get_geometry().height > 40:
                    found.append(w)
            except Exception:
                continue
        return found

    def wait_captures(self, p, labels, timeout=10):
        """Waits until each named logger holds all typed characters of the pass."""
        wait_for(lambda: all(p.share(self.loggers[label]) >= 1.0 for label in labels), timeout, 0.1)


def mismatch(expected, got, context=24):
    """Both texts from a little before their first difference, as two indented lines."""
    got = got or ""
    same = next((i for i, (a, b) in enumerate(zip(expected, got)) if a != b), min(len(expected), len(got)))
    start = max(0, same - context)
    cut = f" (from character {start})" if start else ""
    return f"  expected{cut}: {expected[start:]!r}\n  got{cut}:      {got[start:]!r}"


def describe_mismatch(p):
    return f"{p.target.name} ({p.speed}) did not receive exactly the typed text\n" + mismatch(p.expected, p.got)


def summary(values):
    if not values:
        return "n/a"
    return f"median {statistics.median(values):.1f} ms, p99 {percentile(values, 99):.1f} ms"
