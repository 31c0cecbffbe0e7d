// The keystroke decisions of the keyboard-protection library, against a scripted keyboard:
// which presses are handed over, where their releases go, and when keys must keep the
// ordinary path to stay in order.
#include "keyguard/core/KeyGate.h"

#include <gtest/gtest.h>

#include <map>
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

TEST_F(KeyGateTest, ACharacterWaitsUntilThePassedKeyBeforeItWasRead) {
    tap(kA);
    EXPECT_EQ(tap(kBack), std::make_pair(false, false));
    ASSERT_EQ(kb.marks, 1);
    // The target has not read the Backspace yet: the next character must not overtake it,
    // and goes the ordinary way behind it.
    EXPECT_EQ(tap(kB), std::make_pair(false, false));
    EXPECT_EQ(kb.marks, 2) << "the passed character is waited for too";
    answerProbes();
    EXPECT_TRUE(gate.awaitingOrder()) << "known only when the next key asks";
    EXPECT_EQ(tap(kB), std::make_pair(true, true));
    EXPECT_FALSE(gate.awaitingOrder());
    EXPECT_EQ(kb.posted, "ab");
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
    EXPECT_EQ(tap(kB), std::make_pair(false, false));
    answerProbes();
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
