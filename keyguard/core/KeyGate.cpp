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
    replaying_.fill(0);
    replaysPending_ = 0;
    waitSince_ = 0;
    head_ = count_ = 0;
}

bool KeyGate::handle(const KeyEvent& e, KeyEnvironment& env) {
    if (e.vk > 0xFF) return false;
    if (isModifierKey(e.vk)) {
        // Modifiers need no order of their own, but keys sent again must meet them as they
        // were typed: behind held keys they are held too.
        if (e.replayed && !e.up && replaying_[e.vk] != 0) {
            --replaying_[e.vk];
            --replaysPending_;
            return false;
        }
        if (e.injected || !behind()) return false;
        return hold(e, env, env.modifiers(), nullptr, 0, false);
    }
    if (!e.up) return keyDown(e, env);
    // A release goes the way its press went, so that no window sees a key go down and
    // never come up, and no logger sees the release of a protected key.
    const Press press = presses_[e.vk];
    presses_[e.vk] = Press::None;
    if (press == Press::Held) {
        // The latest press of it still held is let go when it is sent again.
        for (std::size_t i = count_; i-- > 0;) {
            HeldKey& h = at(i);
            if (h.event.vk == e.vk && h.ch == 0 && !h.released) {
                h.released = true;
                return true;
            }
        }
        return false;
    }
    return press == Press::Protected && !e.injected;
}

bool KeyGate::keyDown(const KeyEvent& e, KeyEnvironment& env) {
    if (e.replayed && replaying_[e.vk] != 0) {
        // A held key back on its way: what comes after it waits until it is read.
        --replaying_[e.vk];
        --replaysPending_;
        return passDown(e, env, nullptr);
    }
    // Keys that programs send (automation, on-screen keyboards, remote control) keep their
    // ordinary path. Behind held keys they need no mark: what is held was typed before them.
    if (e.injected) return behind() ? (presses_[e.vk] = Press::Passed, false) : passDown(e, env, nullptr);
    // Keys an input method has taken, and keys without a layout meaning, pass.
    if (e.vk == kProcessKey || e.vk == kPacket || e.vk == kPause || e.vk == kApps || e.vk == 0)
        return passDown(e, env, nullptr);

    const Modifiers m = env.modifiers();
    const Press before = presses_[e.vk];
    const bool repeat = before != Press::None;
    // Shortcuts with the Windows key belong to the system.
    if (m.win) return passDown(e, env, nullptr);
    // A held key repeats the way it began; shortcuts and AltGr (Ctrl with Alt) stay
    // shortcuts; the key after a dead key composes with it in the target's own translation.
    if ((repeat && before != Press::Protected) || m.ctrl || m.alt || e.altDown || deadKeyPending_) {
        deadKeyPending_ = false;
        return behind() ? hold(e, env, m, nullptr, 0, repeat) : passDown(e, env, nullptr);
    }

    Target target;
    const bool found = env.findTarget(target);
    char16_t ch = 0;
    int count = 0;
    if (found && !target.ordinaryOnly && target.answering) {
        count = env.translate(e, m, target, ch);
        if (count < 0) deadKeyPending_ = true;
    }
    if (count != 1 || !printable(ch))
        return behind() ? hold(e, env, m, found ? &target : nullptr, 0, repeat)
                         : passDown(e, env, found ? &target : nullptr);

    if (mustWait(target, env)) return hold(e, env, m, &target, ch, repeat);
    if (!env.post(target, e, ch, repeat)) return passDown(e, env, &target);
    presses_[e.vk] = Press::Protected;
    return true;
}

bool KeyGate::mustWait(const Target& target, KeyEnvironment& env) {
    if (behind()) return true;
    if (!awaiting_ || orderTarget_.thread != target.thread) return false;
    if (replaysPending_ == 0 && env.orderReached(orderTarget_)) {
        awaiting_ = false;
        return false;
    }
    return true;
}

bool KeyGate::hold(const KeyEvent& e, KeyEnvironment& env, const Modifiers& m, const Target* target, char16_t ch,
                   bool repeat) {
    if (count_ == kHoldLimit) {
        // Nothing more fits: the key goes now, ahead of what waits, a character still
        // straight to its window.
        if (ch && env.post(*target, e, ch, repeat)) {
            presses_[e.vk] = Press::Protected;
            return true;
        }
        return passDown(e, env, target);
    }
    HeldKey& h = held_[(head_ + count_) % kHoldLimit];
    h = HeldKey{};
    h.event = e;
    h.modifiers = m;
    if (target) h.target = *target;
    else env.findTarget(h.target);
    h.since = env.now();
    h.ch = ch;
    h.repeat = repeat;
    ++count_;
    if (!isModifierKey(e.vk)) presses_[e.vk] = ch ? Press::Protected : Press::Held;
    return true;
}

void KeyGate::release(KeyEnvironment& env, bool all) {
    while (count_ != 0) {
        if (!all && awaiting_) {
            const bool reached = replaysPending_ == 0 && env.orderReached(orderTarget_);
            std::uint64_t since = at(0).since > waitSince_ ? at(0).since : waitSince_;
            const std::uint64_t progress = env.lastProgress(orderTarget_);
            if (progress > since) since = progress;
            const std::uint64_t patience = env.patience(orderTarget_);
            if (!reached && env.now() - since < (patience < kHoldLimitMs ? patience : kHoldLimitMs)) return;
            if (!reached) {
                // Waited long enough: a key sent again that never came back is forgotten.
                replaying_.fill(0);
                replaysPending_ = 0;
            }
        }
        awaiting_ = false;
        const HeldKey h = at(0);
        head_ = (head_ + 1) % kHoldLimit;
        --count_;
        if (h.ch && env.post(h.target, h.event, h.ch, h.repeat)) continue;
        // A key sent again, or a character its window refused, which then goes the ordinary
        // way like any character a window refuses.
        if (all) {
            if (!env.replay(h.event, h.released || h.ch != 0) && presses_[h.event.vk] == Press::Held)
                presses_[h.event.vk] = Press::None;
            continue;
        }
        // Keys sent again go through the target's input in order: those next in line follow
        // at once. A character after them waits until they have been read.
        replay(h, env);
        while (count_ != 0 && at(0).ch == 0) {
            const HeldKey next = at(0);
            head_ = (head_ + 1) % kHoldLimit;
            --count_;
            replay(next, env);
        }
        return;
    }
}

void KeyGate::replay(const HeldKey& h, KeyEnvironment& env) {
    const std::uint32_t vk = h.event.vk;
    // Counted before it is sent: it may come back through the gate before replay() returns,
    // as the system calls the hook while it takes the key.
    if (!h.event.up) {
        ++replaying_[vk];
        ++replaysPending_;
    }
    waitSince_ = env.now();
    if (!env.replay(h.event, h.released || h.ch != 0)) {
        // The system took nothing: nothing comes back, and its release has nothing to follow.
        if (!h.event.up && replaying_[vk] != 0) {
            --replaying_[vk];
            --replaysPending_;
        }
        if (presses_[vk] == Press::Held) presses_[vk] = Press::None;
    }
    if (!isModifierKey(vk)) {
        awaiting_ = true;
        orderTarget_ = h.target;
    }
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
    waitSince_ = env.now();
    env.markOrder(target);
    return false;
}

}  // namespace keyguard
