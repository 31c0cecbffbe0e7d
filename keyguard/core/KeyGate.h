// The keystroke decisions of the keyboard-protection library, apart from every Win32 call:
// which key is protected, what becomes of its release, when a key must take the ordinary
// path, and when the keys of one window must wait for that window to read what went before.
//
// A protected key never reaches the ordinary input path, where low-level hooks, key-state
// pollers and the target's own keyboard hooks would see it: its character is handed to the
// focus window directly. Everything else passes through untouched. The gate keeps no
// keystroke: only which keys are held down now and how each press was decided, so that a
// release takes the same path as its press.
#pragma once

#include <array>
#include <cstdint>

namespace keyguard {

// One key event, as a low-level keyboard hook is given it.
struct KeyEvent {
    std::uint32_t vk = 0;
    std::uint32_t scanCode = 0;
    bool up = false;
    bool extended = false;
    bool injected = false;  // sent by a program (SendInput), not typed
    bool altDown = false;   // the system says Alt is down with it
};

// The modifier keys as the system holds them when the event comes.
struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool win = false;
    bool capsLock = false;  // toggled on
};

// Where a character would go: the focus window of the foreground thread.
struct Target {
    void* window = nullptr;      // opaque to the gate
    std::uint32_t thread = 0;    // the window's thread
    bool unicode = true;         // the window takes UTF-16 characters
    bool ordinaryOnly = false;   // its keys take the ordinary path: an input method composes,
                                 // or a menu or move loop reads them
    bool answering = true;       // it reads its messages; a hung window gets keys the ordinary way
};

// What the gate needs of the system. The hook side implements it with Win32 calls; the
// tests with a scripted keyboard. Every call must return at once: the gate runs on the
// keystroke path.
class KeyEnvironment {
public:
    virtual Modifiers modifiers() = 0;
    // The window a character would go to; false when there is none.
    virtual bool findTarget(Target& target) = 0;
    // What the target's keyboard layout makes of the key: the number of characters it gives
    // (one of them in `ch`), 0 for none, below 0 for a dead key. Must not change the layout's
    // dead-key state.
    virtual int translate(const KeyEvent& e, const Modifiers& m, const Target& target, char16_t& ch) = 0;
    // Hands `ch` to the target as one typed character; false when the target refused it
    // (a window of a higher integrity level, a closing one, a character its code page lacks).
    // A character handed over is read before any key still waiting in the target's input.
    virtual bool post(const Target& target, const KeyEvent& e, char16_t ch, bool repeat) = 0;
    // Marks the target so that it shows when its thread has read every key queued to it so
    // far, the key being decided included (which is queued only after the decision).
    virtual void markOrder(const Target& target) = 0;
    // Whether the target marked last has shown that.
    virtual bool orderReached(const Target& target) = 0;

protected:
    ~KeyEnvironment() = default;
};

// Keys that never give a character of their own and never need protecting.
bool isModifierKey(std::uint32_t vk) noexcept;

class KeyGate {
public:
    // Forgets every press and wait: a new session of the hook.
    void reset() noexcept;

    // Decides one event: true when the hook must swallow it (its character was handed to the
    // target, or it is the release of such a key), false when it passes on.
    bool handle(const KeyEvent& e, KeyEnvironment& env);

    // Whether a thread has yet to read a key that passed through to it.
    bool awaitingOrder() const noexcept { return awaiting_; }

private:
    enum class Press : std::uint8_t { None, Passed, Protected };

    bool keyDown(const KeyEvent& e, KeyEnvironment& env);
    // A non-modifier key takes the ordinary path: its press is remembered as passed, and the
    // target's next protected key waits until the target has read it.
    bool passDown(const KeyEvent& e, KeyEnvironment& env, const Target* known);

    std::array<Press, 256> presses_{};
    bool deadKeyPending_ = false;  // a dead key passed; the next key composes with it
    bool awaiting_ = false;
    Target orderTarget_{};
};

}  // namespace keyguard
