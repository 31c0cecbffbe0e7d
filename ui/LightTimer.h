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

    // Sets the system timer, restarting a running one. False when the interval is 0 (nothing
    // changes) or when the system refuses.
    bool Start();
    // Kills the system timer; with `clear` the timer is also logically disabled. Without it
    // the timer stays enabled and starts again when it is given a non-zero interval.
    bool Stop(bool clear);

    bool Enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);
    UINT Interval() const noexcept { return interval_; }
    // A new interval restarts an enabled timer; 0 pauses it until the next non-zero one.
    void setInterval(UINT interval);
    // A one-shot timer stops itself before it calls back.
    bool OneShot = false;
    // An empty callback pauses an enabled timer, as an interval of 0 does.
    void setOnTimer(std::function<void(TLightTimer&)> onTimer);

    // The window every light timer's system timer is set on; null while no timer exists.
    static HWND handlerWindow() noexcept;

    // Called by the shared window for WM_TIMER with this timer's identifier.
    void fire();

private:
    // The system timer's identifier is the object's own address, so the shared window finds
    // the object from the message alone.
    UINT_PTR id() const noexcept { return reinterpret_cast<UINT_PTR>(this); }

    bool enabled_ = false;
    UINT interval_;
    std::function<void(TLightTimer&)> onTimer_;
};

}  // namespace ui
