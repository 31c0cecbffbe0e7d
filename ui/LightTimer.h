// A timer that needs no window of its own: every TLightTimer of the process sets its system
// timer on one shared hidden window, kept by a reference-counted handler.
#pragma once

#include <windows.h>

#include <functional>

namespace ui {

class TLightTimer {
public:
    explicit TLightTimer(UINT interval = 1000);
    ~TLightTimer();
    TLightTimer(const TLightTimer&) = delete;
    TLightTimer& operator=(const TLightTimer&) = delete;

    // Sets the system timer; false when the interval is 0 or the system refuses.
    bool Start();
    // Kills the system timer; with `clear` the timer is also logically disabled.
    bool Stop(bool clear);

    bool Enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);
    UINT Interval() const noexcept { return interval_; }
    void setInterval(UINT interval);
    bool OneShot = false;
    void setOnTimer(std::function<void(TLightTimer&)> onTimer);

    // Called by the shared window for WM_TIMER with this timer's identifier.
    void fire();

private:
    UINT_PTR id() const noexcept { return reinterpret_cast<UINT_PTR>(this); }

    bool enabled_ = false;
    UINT interval_;
    std::function<void(TLightTimer&)> onTimer_;
};

}  // namespace ui
