// Waiting in a test of in-process windows: the thread's messages are handled while a
// condition is awaited, up to a time limit, without spinning.
#pragma once

#include <windows.h>

#include "ui/LightTimer.h"
#include "win32/Application.h"

namespace testpump {

// Handles messages until `done()` holds or `limitMs` has passed; answers `done()`.
template <typename Done>
bool pumpUntil(Done done, DWORD limitMs = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        win::Application::processMessages();
        if (done()) return true;
        DWORD waited = GetTickCount() - start;
        if (waited >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - waited < 10 ? limitMs - waited : 10, QS_ALLINPUT);
    }
}

// A clock made of the same timers the code under test uses: a "nothing happened" check
// waits until it has ticked past the moment the thing would have happened.
class TickCount {
public:
    explicit TickCount(UINT interval) : timer_(interval) {
        timer_.setOnTimer([this](ui::TLightTimer&) { ++ticks_; });
        timer_.setEnabled(true);
    }
    // Waits for `n` more ticks; false if they did not come in time.
    bool waitTicks(int n, DWORD limitMs = 5000) {
        const int target = ticks_ + n;
        return pumpUntil([&] { return ticks_ >= target; }, limitMs);
    }

private:
    int ticks_ = 0;
    ui::TLightTimer timer_;
};

}  // namespace testpump
