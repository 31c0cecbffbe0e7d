// The keystroke decisions of the keyboard-protection library, apart from every Win32 call:
// which key is protected, what becomes of its release, when a key must take the ordinary
// path, and how keys are held so that the window reads them in the order they were typed.
//
// A protected key never reaches the ordinary input path, where low-level hooks, key-state
// pollers and the target's own keyboard hooks would see it: its character is handed to the
// focus window directly. Everything else passes through untouched.
//
// Order. A character handed over is read before any key still waiting in the target's input,
// so a character typed after a key that took the ordinary path must wait until the target has
// read that key. It waits here, held, never on the ordinary path: the gate fails closed. While
// anything is held, every later key event of the user, modifiers included, is held behind it
// (a Backspace never overtakes a held character) and sent again in its turn. Held keys live in a small fixed ring and
// nowhere else; a hold ends when the target shows it has read what went before, when the
// ring is full, or when the oldest has waited kHoldLimitMs: the last two deliver in order of
// typing all the same, and at worst a character comes before a key the window is still
// behind on. Nothing held is ever lost, repeated or sent the ordinary way but a key that was
// no character to begin with.
#pragma once

#include <array>
#include <cstddef>
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
    bool replayed = false;  // a held key the library itself sends again
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
    bool ordinaryOnly = false;   // its keys take the ordinary path: an input method composes, a
                                 // menu or move loop reads them, or it runs with higher rights
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
    // (a closing window, a character its code page lacks).
    // A character handed over is read before any key still waiting in the target's input.
    virtual bool post(const Target& target, const KeyEvent& e, char16_t ch, bool repeat) = 0;
    // Sends a held key event again the ordinary way (and its release after it, when
    // `release`); it comes back to the gate as an event marked `replayed`. The modifier keys
    // are held and sent again in their turn too, so the key meets the modifiers it was typed
    // with. False when the system refused it.
    virtual bool replay(const KeyEvent& e, bool release) = 0;
    // Marks the target so that it shows when its thread has read every key queued to it so
    // far, the key being decided included (which is queued only after the decision).
    virtual void markOrder(const Target& target) = 0;
    // Whether the target marked last has shown that.
    virtual bool orderReached(const Target& target) = 0;
    // How long keys may wait for the target's sign before they go all the same: the gate's
    // kHoldLimitMs, or less for a target that can give only a weak one.
    virtual std::uint64_t patience(const Target& target) = 0;
    // When the target last showed that it reads its input, however far behind (a now() time;
    // 0 for never): the wait is timed from then.
    virtual std::uint64_t lastProgress(const Target& target) = 0;
    // A monotonic clock in milliseconds.
    virtual std::uint64_t now() = 0;

protected:
    ~KeyEnvironment() = default;
};

// Keys that never give a character of their own and never need protecting.
bool isModifierKey(std::uint32_t vk) noexcept;

class KeyGate {
public:
    // How many keys may wait at once, and how long the oldest may wait for its target at most:
    // as long as a window may be slow before the system calls it hung.
    static constexpr std::size_t kHoldLimit = 256;
    static constexpr std::uint64_t kHoldLimitMs = 5000;

    // Forgets every press, wait and held key: a new session of the hook. Call release(env,
    // true) first to deliver what is held.
    void reset() noexcept;

    // Decides one event: true when the hook must swallow it (its character was handed to the
    // target or is held, it is a held key, or it is the release of either), false when it
    // passes on. Never sends or replays anything itself: that is release()'s.
    bool handle(const KeyEvent& e, KeyEnvironment& env);

    // Delivers held keys, oldest first, as far as order allows: characters are handed to
    // their window, other keys sent again (after which the rest waits for that key to be
    // read). `all` delivers everything now, as the hook ends. Call it after each event has
    // left the hook, and every few milliseconds while holding().
    void release(KeyEnvironment& env, bool all = false);

    bool holding() const noexcept { return count_ != 0; }
    std::size_t held() const noexcept { return count_; }
    // Whether a thread has yet to read a key that passed through to it.
    bool awaitingOrder() const noexcept { return awaiting_; }

private:
    enum class Press : std::uint8_t { None, Passed, Protected, Held };

    struct HeldKey {
        KeyEvent event;
        Modifiers modifiers;
        Target target;
        std::uint64_t since = 0;
        char16_t ch = 0;   // the character to hand over; 0 for a key sent again
        bool repeat = false;
        bool released = false;  // its release came while it was held
    };

    bool keyDown(const KeyEvent& e, KeyEnvironment& env);
    // A non-modifier key takes the ordinary path: its press is remembered as passed, and the
    // target's next protected key waits until the target has read it.
    bool passDown(const KeyEvent& e, KeyEnvironment& env, const Target* known);
    // Holds a key behind those held already (a character when `ch` is not 0).
    bool hold(const KeyEvent& e, KeyEnvironment& env, const Modifiers& m, const Target* target, char16_t ch,
              bool repeat);
    // Sends one held key again, counted so that it is known when it comes back.
    void replay(const HeldKey& h, KeyEnvironment& env);
    // Whether a key to `target` must wait: something is held, or the target's thread has yet
    // to read a key that passed.
    bool mustWait(const Target& target, KeyEnvironment& env);
    // Whether a later key must queue up behind others: some are held, or sent again and not
    // yet back.
    bool behind() const noexcept { return count_ != 0 || replaysPending_ != 0; }
    HeldKey& at(std::size_t i) noexcept { return held_[(head_ + i) % kHoldLimit]; }

    std::array<Press, 256> presses_{};
    bool deadKeyPending_ = false;  // a dead key passed; the next key composes with it
    bool awaiting_ = false;
    Target orderTarget_{};
    // Keys sent again and not yet seen coming back, by virtual key: the order mark of a key
    // sent again is made only once it has come back, so nothing behind it goes before.
    std::array<std::uint8_t, 256> replaying_{};
    std::size_t replaysPending_ = 0;
    std::uint64_t waitSince_ = 0;  // when the current wait for the target began
    std::array<HeldKey, kHoldLimit> held_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace keyguard
