// The keystroke decisions; see KeyGate.h.
#include "keyguard/core/KeyGate.h"

namespace keyguard {

namespace {

// Virtual-key codes the gate names (winuser.h values; this file builds without Windows).
enum : std::uint32_t {
    kShift = 0x10,
    kControl = 0x11,
    kMenu = 0x12,
    kPause = 0x13,
    kCapital = 0x14,
    kLeftWin = 0x5B,
    kRightWin = 0x5C,
    kApps = 0x5D,
    kNumLock = 0x90,
    kScroll = 0x91,
    kLeftShift = 0xA0,
    kRightMenu = 0xA5,
    kProcessKey = 0xE5,  // an input method took the key
    kPacket = 0xE7,      // a character sent as a key by SendInput
};

// The first character a key may give and still be protected: control characters
// (Backspace, Tab, Enter, Escape) edit or steer, and take the ordinary path.
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kDelete = 0x7F;

bool printable(char16_t ch) {
    // Surrogate halves are never handed over alone.
    return ch >= kFirstPrintable && ch != kDelete && !(ch >= 0xD800 && ch <= 0xDFFF);
}

}  // namespace

bool isModifierKey(std::uint32_t vk) noexcept {
    return (vk >= kShift && vk <= kMenu) || vk == kCapital || vk == kLeftWin || vk == kRightWin ||
           vk == kNumLock || vk == kScroll || (vk >= kLeftShift && vk <= kRightMenu);
}

void KeyGate::reset() noexcept {
    presses_.fill(Press::None);
    deadKeyPending_ = false;
    awaiting_ = false;
    orderTarget_ = {};
}

bool KeyGate::handle(const KeyEvent& e, KeyEnvironment& env) {
    if (e.vk > 0xFF) return false;
    if (e.up) {
        // A release goes the way its press went, so that no window sees a key go down and
        // never come up, and no logger sees the release of a protected key.
        const Press press = presses_[e.vk];
        presses_[e.vk] = Press::None;
        return press == Press::Protected && !e.injected;
    }
    return keyDown(e, env);
}

bool KeyGate::keyDown(const KeyEvent& e, KeyEnvironment& env) {
    if (isModifierKey(e.vk)) return false;
    // Keys that programs send (automation, on-screen keyboards, remote control) keep their
    // ordinary path; so do keys an input method has taken, and keys without a layout meaning.
    if (e.injected || e.vk == kProcessKey || e.vk == kPacket || e.vk == kPause || e.vk == kApps || e.vk == 0)
        return passDown(e, env, nullptr);

    const bool repeat = presses_[e.vk] != Press::None;
    // A held key repeats the way it began.
    if (repeat && presses_[e.vk] == Press::Passed) return passDown(e, env, nullptr);

    const Modifiers m = env.modifiers();
    // Shortcuts and AltGr (Ctrl with Alt) stay shortcuts.
    if (m.ctrl || m.alt || m.win || e.altDown) return passDown(e, env, nullptr);
    // The key after a dead key composes with it in the target's own translation.
    if (deadKeyPending_) {
        deadKeyPending_ = false;
        return passDown(e, env, nullptr);
    }

    Target target;
    if (!env.findTarget(target)) return passDown(e, env, nullptr);
    if (target.ordinaryOnly || !target.answering) return passDown(e, env, &target);
    // A key that passed through to this thread may not have been read yet: a character
    // handed over now would be read before it. It takes the ordinary path too, behind it.
    if (awaiting_ && orderTarget_.thread == target.thread) {
        if (!env.orderReached(orderTarget_)) return passDown(e, env, &target);
        awaiting_ = false;
    }

    char16_t ch = 0;
    const int count = env.translate(e, m, target, ch);
    if (count < 0) {
        deadKeyPending_ = true;
        return passDown(e, env, &target);
    }
    if (count != 1 || !printable(ch)) return passDown(e, env, &target);
    if (!env.post(target, e, ch, repeat)) return passDown(e, env, &target);
    presses_[e.vk] = Press::Protected;
    return true;
}

bool KeyGate::passDown(const KeyEvent& e, KeyEnvironment& env, const Target* known) {
    presses_[e.vk] = Press::Passed;
    Target target;
    if (known) {
        target = *known;
    } else if (!env.findTarget(target)) {
        // No window to read it: nothing to keep in order with.
        return false;
    }
    awaiting_ = true;
    orderTarget_ = target;
    env.markOrder(target);
    return false;
}

}  // namespace keyguard
