"""The keyboard-protection library attacked by an ordinary program of the same user: messages
to its thread and to the host's window, injected keys, windows that paint badly or are
flooded, a logger that keeps setting its hook again, a loaded machine. keyattack.exe makes
the attacks; each is one pass of fast typing (kd.TEXT, with its Backspace and Left-arrow
corrections) in one Wine session. An attack's leak is the share of the characters typed
after it began that a logger captured in order: the low-level hook set before the library
("ll-before"), or for attack 7 the re-hooking logger itself.

The library is started once, before all attacks, as a user starts it. An attack that ends
its thread or spoils its state for good would spoil every attack after it, so the forged
order marks and WM_QUIT come last, and the forged timers (which may leave the library work
to catch up on) just before them; the table lists the attacks by number.

Used by tests/protection/protection_test (mode "attacks") and bench/protection_bench.
"""
import queue
import subprocess
import sys
import threading
import time

import keydriver as kd

TARGET_CLASS = kd.KeyTarget.window_class
LEAK_LIMIT = 0.10


class Attack:
    """One row of ATTACKS. `command`: keyattack.exe's arguments ({pid} and {skip} become the
    host's process and its own threads); `during`: it runs while the text is typed, else it
    ends before; `paint`: how the target paints during the pass; `logger`: a logger kind
    started for the pass and measured instead of ll-before; `hogs`: CPU-bound processes
    running meanwhile; `exact`: the target must get exactly the typed text; `limit`: the
    highest leak that passes, None when the pass is measured only (nothing checked)."""

    def __init__(self, number, name, command=(), during=False, paint=None, logger=None, hogs=0,
                 target="keytarget", exact=True, limit=LEAK_LIMIT):
        self.number, self.name, self.command, self.during = number, name, list(command), during
        self.paint, self.logger, self.hogs, self.target = paint, logger, hogs, target
        self.exact, self.limit = exact, limit


# In the order they run (see above). The continuous attackers stop by themselves after the
# seconds given, and are stopped once the pass's text has arrived.
ATTACKS = [
    Attack("3", "forged state reports to the host's window", ["states", "8"]),
    Attack("4a", "F24 injected every 5 ms", ["inject", "5", "60"], during=True),
    Attack("4b", "F24 injected every 1 ms", ["inject", "1", "60"], during=True),
    Attack("5a", "target animates: invalid after every paint", paint="animated"),
    Attack("5b", "target never validates in WM_PAINT", paint="unvalidated"),
    # Wine can lose keys into a flooded window even without protection: only the leak counts.
    Attack("5c", "target's queue flooded with WM_NULL", ["flood", TARGET_CLASS, "10"], during=True, exact=False),
    # A hook set again while it hands a key on breaks the chain: that key passes the library
    # unseen (a Shift among them, so the next character's case may be wrong). Only the leak
    # counts.
    Attack("7a", "logger sets its hook again every 50 ms", logger="ll-rehook50", limit=0.25, exact=False),
    Attack("7b", "logger sets its hook again every 10 ms", logger="ll-rehook10", limit=None),
    Attack("8", "two CPU-bound processes, typing into notepad", hogs=2, target="notepad"),
    Attack("6a", "20,000 forged WM_TIMER to the library's threads", ["timers", "{pid}", "{skip}", "20000"]),
    Attack("6b", "200,000 forged WM_TIMER to the library's threads", ["timers", "{pid}", "{skip}", "200000"]),
    Attack("2", "forged order marks (WM_APP+1) to the library's threads",
           ["marks", "{pid}", "{skip}", TARGET_CLASS, "5"]),
    Attack("1", "WM_QUIT to the library's threads", ["quit", "{pid}", "{skip}"]),
]

# A CPU-bound process, which ends by itself at the latest after a minute.
HOG = "import time\nprint('busy', flush=True)\nend = time.monotonic() + 60\nwhile time.monotonic() < end:\n    pass\n"


class Attacker:
    """keyattack.exe making one attack; its lines are read as they come."""

    def __init__(self, stick, number, args):
        self.args = args
        self.lines = queue.Queue()
        self.proc = stick.popen(["keyattack.exe"] + args, "keyattack-" + number, stdout=subprocess.PIPE)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.put(raw.decode("utf-8", "replace").strip())
        self.lines.put(None)

    def expect(self, word, timeout):
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            except queue.Empty:
                raise kd.Failure(f"keyattack {' '.join(self.args)} did not say '{word}' within {timeout} s")
            if line is None:
                raise kd.Failure(f"keyattack {' '.join(self.args)} ended before saying '{word}'")
            if line.startswith(word):
                return line

    def stop(self):
        if self.proc.poll() is None:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.flush()
        done = self.expect("done", 30)
        self.proc.wait(timeout=15)
        return done


class Result:
    def __init__(self, attack, p, label, leak, host, said, note):
        self.attack, self.p, self.label, self.leak, self.host, self.said = attack, p, label, leak, host, said
        self.note = note  # what the attack's pass showed, for the log
        a = attack
        self.problems = []
        if a.limit is None:
            return
        if self.leak > a.limit:
            self.problems.append(f"{label} captured {self.leak:.1%} of the {len(p.typed)} characters typed "
                                 f"after it began (at most {a.limit:.0%})")
        if a.exact and not p.exact:
            self.problems.append("the target did not receive exactly the typed text\n" + kd.mismatch(p.expected, p.got))
        if host != "running":
            self.problems.append(f"the host's accepted state was not 'running' throughout ({host})")
        if a.command and not a.during and said.split()[1:2] == ["0"]:
            self.problems.append(f"keyattack reached nothing ({said})")

    def failure(self):
        return (f"attack {self.attack.number} ({self.attack.name}) leaked {self.leak:.1%}: "
                + "; ".join(self.problems))


def _hogs(count):
    hogs = [subprocess.Popen([sys.executable, "-c", HOG], stdout=subprocess.PIPE) for _ in range(count)]
    for hog in hogs:
        hog.stdout.readline()
    return hogs


def run_one(stick, attack, targets, ids):
    target = targets[attack.target]
    label = attack.logger or "ll-before"
    if attack.logger:
        stick.start_loggers({label: attack.logger})
    since = len(stick.host.states)
    started = {"hogs": [], "attacker": None, "said": ""}

    def typing(p):
        if attack.paint:
            target.paint(attack.paint)
        started["hogs"] = _hogs(attack.hogs)
        if attack.command:
            attacker = Attacker(stick, attack.number, [a.format(**ids) for a in attack.command])
            started["attacker"] = attacker
            started["said"] = attacker.expect("running" if attack.during else "done", 120)
        return stick.type(kd.TEXT, "fast")

    try:
        # The attack goes on until the target has the text: keys reach the hooks only as the
        # target's thread reads them. The text comes within a second or two when it comes at
        # all; a shorter wait than the other tests' keeps the run near four minutes at worst.
        p = stick.run_pass(target, kd.TEXT, "fast", text_timeout=15, typing=typing)
    finally:
        if started["attacker"] and attack.during:
            started["said"] = started["attacker"].stop()
        for hog in started["hogs"]:
            hog.kill()
            hog.wait()
        if attack.paint or not attack.exact:
            # Also waits until the target has read everything still queued to it.
            target.paint("normal", 60)
    stick.seal()
    leak = p.share(stick.loggers[label])
    shares = ", ".join(f"{name} {p.share(stick.loggers[name]):.1%}" for name in dict.fromkeys(["ll-before", label]))
    note = (f"{len(p.typed)} characters typed into {p.target.name}, "
            f"{'exact text' if p.exact else 'TEXT DIFFERS'}; {shares}")
    captured = kd.printables(p.captured(stick.loggers[label]))
    if attack.logger:
        stick.loggers.pop(label).stop()
    host = stick.host.ask("state?")
    reports = stick.host.states[since:]
    stops = sum(1 for w, _, accepted in reports if accepted and w != 1)
    if stops:
        host = f"{host}, stopped {stops}x"
    accepted = sum(1 for s in reports if s[2])
    note += (f"; host {host}, {accepted} report(s) accepted, {len(reports) - accepted} ignored"
             + (f"; keyattack: {started['said']}" if started["said"] else "")
             + f"\n   {label} captured: {captured[:70]!r}")
    return Result(attack, p, label, leak, host, started["said"], note)


def run_all(stick, targets, on_result=None):
    """Runs every attack on the library that the host has started; `targets` maps "keytarget"
    and "notepad" to the started targets. Returns the results by attack number."""
    pid, main, commands = stick.host.ask("threads").split()
    ids = {"pid": pid, "skip": f"{main},{commands}"}
    results = []
    for attack in ATTACKS:
        r = run_one(stick, attack, targets, ids)
        print(f"-- attack {attack.number}, {attack.name}: {r.note}", flush=True)
        if on_result:
            on_result(r)
        results.append(r)
    return sorted(results, key=lambda r: r.attack.number)


def table(results):
    """One row per attack, by number: the leak and the logger it went to, whether the target
    got exactly the typed text, the host's accepted state, and whether all of it stayed
    within the attack's limits."""
    width = max(len(r.attack.name) for r in results) + 5
    out = [f"{'attack':<{width}}{'leaked':>7}  {'to':<13}{'exact text':<12}{'host state':<22}{'limit':<7}within"]
    for r in results:
        a = r.attack
        exact = "yes" if r.p.exact else "no" + ("" if a.exact else " (n/a)")
        limit, within = ("-", "-") if a.limit is None else (f"{a.limit:.0%}", "no" if r.problems else "yes")
        out.append(f"{a.number + ' ' + a.name:<{width}}{r.leak:>7.1%}  {r.label:<13}{exact:<12}{r.host:<22}"
                   f"{limit:<7}{within}")
    return out
