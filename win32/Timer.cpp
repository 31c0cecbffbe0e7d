// Window-message timers.
#include "win32/Timer.h"

namespace win {

void Timer::attach(HWND owner, UINT_PTR id, UINT interval, bool enabled) {
    owner_ = owner;
    id_ = id;
    interval_ = interval;
    enabled_ = enabled;
    update();
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    update();
}

void Timer::setInterval(UINT interval) {
    if (interval == interval_) return;
    interval_ = interval;
    update();
}

void Timer::update() {
    if (!owner_) return;
    KillTimer(owner_, id_);
    if (enabled_ && interval_ != 0) SetTimer(owner_, id_, interval_, nullptr);
}

}  // namespace win
