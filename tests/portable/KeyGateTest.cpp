// The keystroke decisions of the keyboard-protection library, against a scripted keyboard:
// which presses are handed over, where their releases go, and when keys must keep the
// ordinary path to stay in order.
#include "keyguard/core/KeyGate.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using keyguard::KeyEnvironment;
using keyguard::KeyEvent;
using keyguard::KeyGate;
using keyguard::Modifiers;
using keyguard::Target;

namespace {

constexpr std::uint32_t kA = 'A', kB = 'B', kOne = '1', kSpace = 0x20, kBack = 0x08, kReturn = 0x0D,
                        kLeft = 0x25, kShift = 0xA0, kControl = 0xA2, kCapital = 0x14, kF5 = 0x74,
                        kDeadAcute = 0xDE, kNumpad7 = 0x67;

// A US-like layout and one window, with everything the gate asks recorded.
class ScriptedKeyboard : public KeyEnvironment {
public:
    Modifiers held;
    bool hasTarget = true;
    Target target{reinterpret_cast<void*>(0x1234), 77, true, false, true};
    bool refusePosts = false;
    std::string posted;            // characters handed over, in order
    std::vector<bool> repeats;     // their repeat flags
    int marks = 0;
    bool reached = false;  // whether the target has read what passed before the last mark
    int translations = 0;

    Modifiers modifiers() override { return held; }
    bool findTarget(Target& t) override {
        if (!hasTarget) return false;
        t = target;
        return true;
    }
    int translate(const KeyEvent& e, const Modifiers& m, const Target&, char16_t& ch) override {
        ++translations;
        if (e.vk == kDeadAcute) return -1;
        if (e.vk >= 'A' && e.vk <= 'Z') {
            ch = static_cast<char16_t>((m.shift != m.capsLock) ? e.vk : e.vk - 'A' + 'a');
            return 1;
        }
        if (e.vk >= '0' && e.vk <= '9') {
            ch = static_cast<char16_t>(m.shift ? ")!@#$%^&*("[e.vk - '0'] : e.vk);
            return 1;
        }
        if (e.vk == kNumpad7) return ch = u'7', 1;
        if (e.vk == kSpace) return ch = u' ', 1;
        if (e.vk == kBack) return ch = 0x08, 1;
        if (e.vk == kReturn) return ch = 0x0D, 1;
        return 0;
    }
    bool post(const Target&, const KeyEvent&, char16_t ch, bool repeat) override {
        if (refusePosts) return false;
        posted += static_cast<char>(ch);
        repeats.push_back(repeat);
        return true;
    }
    void markOrder(const Target&) override {
        ++marks;
        reached = false;
    }
    bool orderReached(const Target&) override { return reached; }
    std::uint64_t clock = 0;
    std::uint64_t now() override { return clock; }
    std::uint64_t patienceMs = KeyGate::kHoldLimitMs;
    std::uint64_t patience(const Target&) override { return patienceMs; }
    std::uint64_t progress = 0;
    std::uint64_t lastProgress(const Target&) override { return progress; }
    bool refuseReplays = false;
    struct Replay {
        std::uint32_t vk;
        bool release;
        bool up;
    };
    std::vector<Replay> replays;
    bool replay(const KeyEvent& e, bool release) override {
        if (refuseReplays) return false;
        replays.push_back({e.vk, release, e.up});
        return true;
    }
};

KeyEvent down(std::uint32_t vk) { return KeyEvent{vk, 0x1E, false, false, false, false}; }
KeyEvent up(std::uint32_t vk) { return KeyEvent{vk, 0x1E, true, false, false, false}; }
KeyEvent injected(KeyEvent e) {
    e.injected = true;
    return e;
}

class KeyGateTest : public ::testing::Test {
protected:
    KeyGate gate;
    ScriptedKeyboard kb;

    // Presses and releases `vk`; returns whether press and release were swallowed.
    std::pair<bool, bool> tap(std::uint32_t vk) {
        const bool d = gate.handle(down(vk), kb);
        const bool u = gate.handle(up(vk), kb);
        return {d, u};
    }
    void answerProbes() { kb.reached = true; }
};

TEST_F(KeyGateTest, CharacterKeysAreHandedOverAndTheirReleasesSwallowed) {
    EXPECT_EQ(tap(kA), std::make_pair(true, true));
    EXPECT_EQ(tap(kOne), std::make_pair(true, true));
    EXPECT_EQ(tap(kSpace), std::make_pair(true, true));
    EXPECT_EQ(tap(kNumpad7), std::make_pair(true, true));
    EXPECT_EQ(kb.posted, "a1 7");
    EXPECT_EQ(kb.marks, 0) << "nothing passed, so nothing to keep in order with";
}

TEST_F(KeyGateTest, ShiftAndCapsLockGiveTheLayoutsCharacter) {
    // The modifiers themselves pass; the character follows their state.
    EXPECT_FALSE(gate.handle(down(kShift), kb));
    kb.held.shift = true;
    tap(kA);
    tap(kOne);
    kb.held.shift = false;
    EXPECT_FALSE(gate.handle(up(kShift), kb));
    kb.held.capsLock = true;
    tap(kB);
    kb.held.shift = true;
    tap(kB);
    EXPECT_EQ(kb.posted, "A!Bb");
}

TEST_F(KeyGateTest, ShortcutsAndAltGrKeepTheOrdinaryPath) {
    kb.held.ctrl = true;
    EXPECT_EQ(tap(kA), std::make_pair(false, false));
    kb.held = {};
    kb.held.ctrl = kb.held.alt = true;  // AltGr
    EXPECT_EQ(tap(kA), std::make_pair(false, false));
    kb.held = {};
    kb.held.win = true;
    EXPECT_EQ(tap(kA), std::make_pair(false, false));
    kb.held = {};
    KeyEvent altKey = down(kA);
    altKey.altDown = true;
    EXPECT_FALSE(gate.handle(altKey, kb));
    EXPECT_FALSE(gate.handle(up(kA), kb));
    EXPECT_EQ(kb.posted, "");
    EXPECT_EQ(kb.translations, 0) << "a shortcut is never translated";
}

TEST_F(KeyGateTest, KeysWithoutAPrintableCharacterPass) {
    for (std::uint32_t vk : {kBack, kReturn, kLeft, kF5, kShift, kControl, kCapital, 0xE5u, 0xE7u}) {
        answerProbes();
        EXPECT_EQ(tap(vk), std::make_pair(false, false)) << "vk " << vk;
    }
    EXPECT_EQ(kb.posted, "");
}

TEST_F(KeyGateTest, InjectedKeysPassUntouched) {
    EXPECT_FALSE(gate.handle(injected(down(kA)), kb));
    EXPECT_FALSE(gate.handle(injected(up(kA)), kb));
    EXPECT_EQ(kb.posted, "");
    EXPECT_EQ(kb.translations, 0);
}

TEST_F(KeyGateTest, ARefusedCharacterTakesTheOrdinaryPathWholly) {
    kb.refusePosts = true;
    EXPECT_EQ(tap(kA), std::make_pair(false, false)) << "neither lost nor half-swallowed";
    kb.hasTarget = false;
    kb.refusePosts = false;
    EXPECT_EQ(tap(kB), std::make_pair(false, false)) << "no focus window";
    kb.hasTarget = true;
    kb.target.answering = false;
    EXPECT_EQ(tap(kOne), std::make_pair(false, false)) << "a hung window";
    kb.target.answering = true;
    kb.target.ordinaryOnly = true;
    answerProbes();
    EXPECT_EQ(tap(kOne), std::make_pair(false, false)) << "an input method composes";
    EXPECT_EQ(kb.posted, "");
}

TEST_F(KeyGateTest, AHeldKeyRepeatsTheWayItsPressBegan) {
    EXPECT_TRUE(gate.handle(down(kA), kb));
    EXPECT_TRUE(gate.handle(down(kA), kb));
    EXPECT_TRUE(gate.handle(down(kA), kb));
    EXPECT_TRUE(gate.handle(up(kA), kb));
    EXPECT_EQ(kb.posted, "aaa");
    EXPECT_EQ(kb.repeats, (std::vector<bool>{false, true, true}));

    // Pressed with Ctrl: the whole press passes, even once Ctrl is let go.
    kb.held.ctrl = true;
    EXPECT_FALSE(gate.handle(down(kB), kb));
    kb.held.ctrl = false;
    EXPECT_FALSE(gate.handle(down(kB), kb));
    EXPECT_FALSE(gate.handle(up(kB), kb));
    EXPECT_EQ(kb.posted, "aaa");
}

TEST_F(KeyGateTest, ARepeatThatIsRefusedReleasesTheOrdinaryWay) {
    EXPECT_TRUE(gate.handle(down(kA), kb));
    kb.refusePosts = true;
    EXPECT_FALSE(gate.handle(down(kA), kb));
    EXPECT_FALSE(gate.handle(up(kA), kb)) << "the window saw the key go down; it must see it come up";
}

TEST_F(KeyGateTest, TheKeyAfterADeadKeyComposesInTheTarget) {
    EXPECT_EQ(tap(kDeadAcute), std::make_pair(false, false));
    answerProbes();
    const int translated = kb.translations;
    EXPECT_FALSE(gate.handle(down(kShift), kb)) << "modifiers do not end the composition";
    EXPECT_EQ(tap(kA), std::make_pair(false, false));
    EXPECT_EQ(kb.translations, translated) << "the composing key is not translated";
    answerProbes();
    EXPECT_EQ(tap(kB), std::make_pair(true, true)) << "composition over";
    EXPECT_EQ(kb.posted, "b");
}

TEST_F(KeyGateTest, ACharacterWaitsHeldUntilThePassedKeyBeforeItWasRead) {
    tap(kA);
    EXPECT_EQ(tap(kBack), std::make_pair(false, false));
    ASSERT_EQ(kb.marks, 1);
    // The target has not read the Backspace yet: the next character must not overtake it,
    // and must not take the ordinary path either. It waits.
    EXPECT_EQ(tap(kB), std::make_pair(true, true));
    EXPECT_EQ(kb.posted, "a");
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a") << "handed over before the Backspace was read";
    answerProbes();
    gate.release(kb);
    EXPECT_EQ(kb.posted, "ab");
    EXPECT_FALSE(gate.holding());
    EXPECT_EQ(tap(kB), std::make_pair(true, true));
    EXPECT_EQ(kb.posted, "abb");
    EXPECT_EQ(kb.marks, 1) << "no key took the ordinary path after the Backspace";
}

TEST_F(KeyGateTest, KeysBehindAHeldCharacterAreHeldAndSentAgainInTurnWithTheirModifiers) {
    tap(kBack);
    tap(kA);                                  // held behind the Backspace
    EXPECT_TRUE(gate.handle(down(kBack), kb)) << "a Backspace may not overtake the held character";
    EXPECT_TRUE(gate.handle(down(kControl), kb)) << "nor a modifier, which the shortcut after it needs";
    kb.held.ctrl = true;
    EXPECT_TRUE(gate.handle(down(kB), kb)) << "nor a shortcut";
    EXPECT_TRUE(gate.handle(up(kB), kb));     // its release comes while it is held
    EXPECT_TRUE(gate.handle(up(kControl), kb));
    kb.held.ctrl = false;
    EXPECT_EQ(gate.held(), 5u);
    answerProbes();
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a");
    ASSERT_EQ(kb.replays.size(), 4u) << "the keys behind the character go in one turn, in order";
    EXPECT_EQ(kb.replays[0].vk, kBack);
    EXPECT_FALSE(kb.replays[0].release) << "the Backspace is still down";
    EXPECT_EQ(kb.replays[1].vk, kControl);
    EXPECT_EQ(kb.replays[2].vk, kB);
    EXPECT_TRUE(kb.replays[2].release);
    EXPECT_EQ(kb.replays[3].vk, kControl);
    EXPECT_TRUE(kb.replays[3].up);
    EXPECT_FALSE(gate.holding());
    EXPECT_TRUE(gate.handle(down(kA), kb)) << "a character waits until the keys sent again come back";
    KeyEvent back = injected(down(kBack));
    back.replayed = true;
    EXPECT_FALSE(gate.handle(back, kb)) << "a key sent again takes the ordinary path";
    EXPECT_FALSE(gate.handle(up(kBack), kb)) << "and so does the user's release of it";
    for (std::uint32_t vk : {kControl, kB}) {
        KeyEvent e = injected(down(vk));
        e.replayed = true;
        EXPECT_FALSE(gate.handle(e, kb));
    }
    kb.reached = false;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a") << "the target has yet to read them";
    answerProbes();
    gate.release(kb);
    EXPECT_EQ(kb.posted, "aa");
}

TEST_F(KeyGateTest, AHoldEndsInOrderAfterItsTimeLimitWhenTheRingIsFullAndWhenTheSessionEnds) {
    tap(kBack);
    tap(kA);
    kb.clock += KeyGate::kHoldLimitMs - 1;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "");
    kb.progress = kb.clock;  // a window far behind that still reads: the wait goes on
    kb.clock += 1;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "");
    kb.clock += KeyGate::kHoldLimitMs;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a") << "a window that never shows it has read is still typed into";
    kb.patienceMs = 100;  // a target that can give only a weak sign
    tap(kBack);
    tap(kA);
    kb.clock += 99;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a");
    kb.clock += 1;
    gate.release(kb);
    EXPECT_EQ(kb.posted, "aa");
    kb.patienceMs = KeyGate::kHoldLimitMs;

    tap(kBack);
    for (std::size_t i = 1; i < KeyGate::kHoldLimit; ++i) tap(kA);
    gate.handle(down(kBack), kb);  // held, and still down as the session ends
    EXPECT_EQ(gate.held(), KeyGate::kHoldLimit);
    EXPECT_EQ(tap(kB), std::make_pair(true, true)) << "a character past the limit still never goes the ordinary way";
    EXPECT_EQ(kb.posted, "aab");

    gate.release(kb, true);
    EXPECT_EQ(kb.posted, "aab" + std::string(KeyGate::kHoldLimit - 1, 'a'));
    ASSERT_EQ(kb.replays.size(), 1u);
    EXPECT_FALSE(kb.replays[0].release);
    EXPECT_FALSE(gate.holding());
}

TEST_F(KeyGateTest, AKeyTheSystemWillNotSendAgainLeavesNoReleaseBehind) {
    tap(kBack);
    tap(kA);
    gate.handle(down(kBack), kb);
    kb.refuseReplays = true;
    answerProbes();
    gate.release(kb);
    EXPECT_EQ(kb.posted, "a");
    EXPECT_FALSE(gate.holding());
    EXPECT_FALSE(gate.handle(up(kBack), kb)) << "its press was never sent";
}

// A target that reads slowly, as a busy window does: keys that pass wait in its input,
// characters handed over in its posted queue, which it reads first. Whatever the pace of
// typing and reading, it reads every key in the order typed, and no character is ever
// among the keys that passed.
class SlowTarget : public ScriptedKeyboard {
public:
    std::deque<char> postedQueue, inputQueue;
    std::string read, leaked;
    // When set, a key sent again comes back through the gate before replay() returns.
    std::function<void()> comeBackAtOnce;
    bool replay(const KeyEvent& e, bool release) override {
        ScriptedKeyboard::replay(e, release);
        if (comeBackAtOnce) comeBackAtOnce();
        return true;
    }

    bool post(const Target&, const KeyEvent&, char16_t ch, bool) override {
        postedQueue.push_back(static_cast<char>(ch));
        return true;
    }
    bool orderReached(const Target&) override { return inputQueue.empty(); }
    void readOne() {
        std::deque<char>& q = postedQueue.empty() ? inputQueue : postedQueue;
        if (q.empty()) return;
        read += q.front();
        q.pop_front();
    }
};

TEST(KeyGateOrderTest, HeldCharactersAndLaterKeysAreReadInTypingOrderAtAnyPace) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 400; ++round) {
        KeyGate gate;
        SlowTarget target;
        std::string typed;
        std::size_t replayed = 0;
        auto pass = [&](const KeyEvent& e, char symbol) {
            if (!gate.handle(e, target)) {
                target.inputQueue.push_back(symbol);
                if (symbol != '<' && symbol != '^') target.leaked += symbol;
            }
        };
        // What the gate sends again comes back through it, as through the hook.
        auto comeBackOne = [&] {
            const auto r = target.replays[replayed++];
            KeyEvent e = down(r.vk);
            e.up = r.up;
            e.injected = e.replayed = true;
            if (r.vk == kControl || r.up) {
                gate.handle(e, target);
                return;
            }
            pass(e, r.vk == 'C' ? '^' : '<');
            if (r.release) {
                e.up = true;
                gate.handle(e, target);
            }
        };
        auto comeBack = [&] {
            while (replayed < target.replays.size()) comeBackOne();
        };
        if (round % 2) target.comeBackAtOnce = comeBack;
        auto settle = [&](bool late) {
            gate.release(target);
            // At once or a while later.
            while (replayed < target.replays.size() && !(late && random() % 2)) {
                comeBackOne();
                gate.release(target);
            }
        };
        for (int step = 0; step < 40; ++step) {
            const unsigned what = random() % 7;
            if (what < 3) {
                const auto vk = static_cast<std::uint32_t>('A' + random() % 3);
                typed += static_cast<char>(vk - 'A' + 'a');
                pass(down(vk), typed.back());
                gate.handle(up(vk), target);
            } else if (what == 3) {
                typed += '<';
                pass(down(kBack), '<');
                gate.handle(up(kBack), target);
            } else if (what == 4) {
                typed += '^';  // Ctrl+C, held or passed with no window looked up
                gate.handle(down(kControl), target);
                target.held.ctrl = true;
                pass(down('C'), '^');
                gate.handle(up('C'), target);
                target.held.ctrl = false;
                gate.handle(up(kControl), target);
            } else {
                for (unsigned n = random() % 4; n > 0; --n) target.readOne();
            }
            settle(true);
        }
        for (int turns = 0; !target.postedQueue.empty() || !target.inputQueue.empty() || gate.holding(); ++turns) {
            ASSERT_LT(turns, 1000) << "round " << round << ": keys held for good";
            target.readOne();
            settle(false);
        }
        ASSERT_EQ(target.read, typed) << "round " << round;
        ASSERT_EQ(target.leaked, "") << "round " << round;
    }
}

TEST_F(KeyGateTest, AnotherThreadsCharacterDoesNotWait) {
    tap(kReturn);
    ASSERT_TRUE(gate.awaitingOrder());
    kb.target.thread = 78;
    kb.target.window = reinterpret_cast<void*>(0x5678);
    EXPECT_EQ(tap(kA), std::make_pair(true, true));
}

TEST_F(KeyGateTest, InjectedAndShortcutKeysAreKeptInOrderToo) {
    gate.handle(injected(down(kBack)), kb);
    EXPECT_EQ(kb.marks, 1);
    answerProbes();
    kb.held.ctrl = true;
    tap(kA);  // Ctrl+A selects all: the next character must replace the selection
    kb.held.ctrl = false;
    EXPECT_EQ(kb.marks, 2);
    EXPECT_EQ(tap(kB), std::make_pair(true, true)) << "held, not sent the ordinary way";
    EXPECT_EQ(kb.posted, "");
    answerProbes();
    gate.release(kb);
    EXPECT_EQ(kb.posted, "b");
    EXPECT_EQ(tap(kB), std::make_pair(true, true));
}

TEST_F(KeyGateTest, ModifierKeysNeedNoOrdering) {
    gate.handle(down(kShift), kb);
    gate.handle(up(kShift), kb);
    gate.handle(down(kCapital), kb);
    gate.handle(up(kCapital), kb);
    EXPECT_EQ(kb.marks, 0);
    EXPECT_FALSE(gate.awaitingOrder());
}

TEST_F(KeyGateTest, ResetForgetsPressesAndWaits) {
    EXPECT_TRUE(gate.handle(down(kA), kb));
    tap(kBack);
    gate.reset();
    EXPECT_FALSE(gate.awaitingOrder());
    EXPECT_FALSE(gate.handle(up(kA), kb)) << "a release from before the session passes";
    EXPECT_EQ(tap(kB), std::make_pair(true, true));
}

TEST_F(KeyGateTest, OutOfRangeKeysPass) {
    KeyEvent odd = down(0x1FF);
    EXPECT_FALSE(gate.handle(odd, kb));
    odd.up = true;
    EXPECT_FALSE(gate.handle(odd, kb));
}

}  // namespace
