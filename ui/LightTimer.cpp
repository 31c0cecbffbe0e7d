// Light timers and their shared hidden window.
#include "ui/LightTimer.h"

#include <set>

#include "win32/Window.h"

namespace ui {
namespace {

// The process-wide hidden window on which every light timer's system timer is set.
class TLightTimerHandler : public win::Window {
public:
    TLightTimerHandler() {
        registerClass("TLightTimerHandler");
        create("TLightTimerHandler", "", 0, WS_POPUP, 0, 0, 0, 0);
    }
    std::set<TLightTimer*> timers;

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_TIMER) {
            // Only timers that still exist: a late WM_TIMER must never reach a freed object.
            for (TLightTimer* t : timers)
                if (reinterpret_cast<UINT_PTR>(t) == wp) {
                    t->fire();
                    break;
                }
            return 0;
        }
        return defaultHandling(msg, wp, lp);
    }
};

TLightTimerHandler* gHandler = nullptr;
int gReferences = 0;

TLightTimerHandler& acquire(TLightTimer* t) {
    if (gReferences++ == 0) gHandler = new TLightTimerHandler;
    gHandler->timers.insert(t);
    return *gHandler;
}

void release(TLightTimer* t) {
    gHandler->timers.erase(t);
    if (--gReferences == 0) {
        delete gHandler;
        gHandler = nullptr;
    }
}

}  // namespace

TLightTimer::TLightTimer(UINT interval) : interval_(interval) { acquire(this); }

TLightTimer::~TLightTimer() {
    if (enabled_) Stop(true);
    release(this);
}

bool TLightTimer::Start() {
    if (interval_ == 0) return false;
    if (enabled_) Stop(false);
    bool set = SetTimer(gHandler->hwnd(), id(), interval_, nullptr) != 0;
    if (set) enabled_ = true;
    return set;
}

bool TLightTimer::Stop(bool clear) {
    if (clear) enabled_ = false;
    return KillTimer(gHandler->hwnd(), id()) != 0;
}

void TLightTimer::setEnabled(bool enabled) {
    if (enabled)
        Start();
    else
        Stop(true);
}

void TLightTimer::setInterval(UINT interval) {
    if (interval == interval_) return;
    interval_ = interval;
    if (!enabled_) return;
    if (interval_ != 0)
        Start();
    else
        Stop(false);
}

void TLightTimer::setOnTimer(std::function<void(TLightTimer&)> onTimer) {
    onTimer_ = std::move(onTimer);
    if (!onTimer_ && enabled_) Stop(false);
}

void TLightTimer::fire() {
    if (OneShot) Stop(true);
    if (onTimer_) onTimer_(*this);
}

}  // namespace ui
