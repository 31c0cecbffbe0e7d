// A window-message timer owned by a window: enabling it sets the system timer, disabling
// kills it, and setting the state it already has leaves its interval running undisturbed.
#pragma once

#include <windows.h>

namespace win {

class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() { setEnabled(false); }

    // Binds the timer to `owner`, whose WM_TIMER carries `id`.
    void attach(HWND owner, UINT_PTR id, UINT interval, bool enabled);
    void setEnabled(bool enabled);
    bool enabled() const noexcept { return enabled_; }
    void setInterval(UINT interval);
    UINT interval() const noexcept { return interval_; }
    UINT_PTR id() const noexcept { return id_; }

private:
    void update();

    HWND owner_ = nullptr;
    UINT_PTR id_ = 0;
    UINT interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace win
