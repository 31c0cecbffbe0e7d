// Light timers and their shared hidden window.
#include "ui/LightTimer.h"

#include <set>
#include <utility>

#include "ui/HiddenWindow.h"

namespace ui {
namespace {

LRESULT CALLBACK timerWindowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The process-wide hidden window on which every light timer's system timer is set; created
// with the first timer and destroyed with the last. Timers need no broadcast and no
// foreground: a message-only window does.
struct TLightTimerHandler {
    HiddenWindow window{"TLightTimerHandler", &timerWindowProcedure, true};
    std::set<TLightTimer*> timers;
};

TLightTimerHandler* gHandler = nullptr;
int gReferences = 0;

// A handler that outlives its timers (one leaked at the end of the process) goes with the
// program's static objects.
struct HandlerFinalisation {
    ~HandlerFinalisation() { delete std::exchange(gHandler, nullptr); }
} gFinalisation;

LRESULT CALLBACK timerWindowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_TIMER || !gHandler) return DefWindowProcA(hwnd, msg, wp, lp);
    // Only timers that still exist: a late WM_TIMER, or one another process posts, must never
    // reach a freed object.
    TLightTimer* timer = nullptr;
    for (TLightTimer* t : gHandler->timers)
        if (reinterpret_cast<UINT_PTR>(t) == wp) timer = t;
    // The callback may free the timer, and with the last one the handler and this window:
    // nothing here is touched after it.
    if (timer) return guardedHandling([timer] {
            timer->fire();
            return LRESULT{0};
        });
    return 0;
}

void acquire(TLightTimer* t) {
    if (gReferences == 0) gHandler = new TLightTimerHandler;
    ++gReferences;
    gHandler->timers.insert(t);
}

// A timer that outlives the program's static objects finds the handler already gone.
void release(TLightTimer* t) {
    if (!gHandler) return;
    gHandler->timers.erase(t);
    if (--gReferences == 0) delete std::exchange(gHandler, nullptr);
}

}  // namespace

TLightTimer::TLightTimer(UINT interval) : interval_(interval) { acquire(this); }

TLightTimer::~TLightTimer() {
    if (enabled_) Stop(true);
    release(this);
}

HWND TLightTimer::handlerWindow() noexcept { return gHandler ? gHandler->window.hwnd() : nullptr; }

bool TLightTimer::Start() {
    if (interval_ == 0 || !gHandler) return false;
    if (enabled_) Stop(false);
    bool set = SetTimer(gHandler->window.hwnd(), id(), interval_, nullptr) != 0;
    if (set) enabled_ = true;
    return set;
}

bool TLightTimer::Stop(bool clear) {
    if (clear) enabled_ = false;
    return gHandler && KillTimer(gHandler->window.hwnd(), id()) != 0;
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
    // A copy: the callback may replace itself, or free the timer, while it runs.
    if (auto callback = onTimer_) callback(*this);
}

}  // namespace ui
