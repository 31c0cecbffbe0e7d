// Light timers in this process: their start and stop rules, their interval changes, one-shot
// timers, and the shared hidden window that finds a timer by its address.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "tests/win/MessagePump.h"
#include "ui/LightTimer.h"

using testpump::pumpUntil;
using testpump::TickCount;
using ui::TLightTimer;

namespace {

// A timer that counts its calls.
struct CountedTimer {
    explicit CountedTimer(UINT interval) : timer(interval) {
        timer.setOnTimer([this](TLightTimer&) { ++fired; });
    }
    int fired = 0;
    TLightTimer timer;
};

}  // namespace

TEST(LightTimerTest, IntervalZeroRefusesToStart) {
    CountedTimer t(0);
    EXPECT_FALSE(t.timer.Start());
    EXPECT_FALSE(t.timer.Enabled());
    t.timer.setEnabled(true);
    EXPECT_FALSE(t.timer.Enabled());
    EXPECT_EQ(TLightTimer().Interval(), 1000u) << "the interval of a timer made without one";
}

TEST(LightTimerTest, EnabledTimerCallsBackUntilStopped) {
    CountedTimer t(20);
    t.timer.setEnabled(true);
    EXPECT_TRUE(t.timer.Enabled());
    ASSERT_TRUE(pumpUntil([&] { return t.fired >= 3; }));
    t.timer.setEnabled(false);
    EXPECT_FALSE(t.timer.Enabled());
    const int fired = t.fired;
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(5));
    EXPECT_EQ(t.fired, fired);
}

TEST(LightTimerTest, NewIntervalWhileEnabledRestartsTheTimer) {
    CountedTimer t(600000);
    t.timer.setEnabled(true);
    t.timer.setInterval(20);
    EXPECT_TRUE(t.timer.Enabled());
    // Under the old interval this would take ten minutes.
    EXPECT_TRUE(pumpUntil([&] { return t.fired >= 1; }, 5000));
}

TEST(LightTimerTest, IntervalZeroPausesAndANonZeroIntervalResumes) {
    CountedTimer t(20);
    t.timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return t.fired >= 1; }));
    t.timer.setInterval(0);
    EXPECT_TRUE(t.timer.Enabled()) << "paused, not switched off";
    const int fired = t.fired;
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(5));
    EXPECT_EQ(t.fired, fired);
    t.timer.setInterval(30);
    EXPECT_TRUE(pumpUntil([&] { return t.fired > fired; }));
    EXPECT_TRUE(t.timer.Enabled());
}

TEST(LightTimerTest, NewIntervalOfADisabledTimerDoesNotStartIt) {
    CountedTimer t(20);
    t.timer.setInterval(30);
    EXPECT_FALSE(t.timer.Enabled());
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(5));
    EXPECT_EQ(t.fired, 0);
}

TEST(LightTimerTest, OneShotTimerFiresOnceAndIsDisabledWhenItCallsBack) {
    TLightTimer t(20);
    t.OneShot = true;
    int fired = 0;
    bool enabledInCallback = true;
    t.setOnTimer([&](TLightTimer& sender) {
        ++fired;
        enabledInCallback = sender.Enabled();
    });
    t.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return fired >= 1; }));
    EXPECT_FALSE(enabledInCallback);
    EXPECT_FALSE(t.Enabled());
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(5));
    EXPECT_EQ(fired, 1);
    // Started again, it fires once more.
    t.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return fired >= 2; }));
}

TEST(LightTimerTest, ClearingTheCallbackStopsTheTimerAndANewOneDoesNotRestartIt) {
    CountedTimer t(20);
    t.timer.setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return t.fired >= 1; }));
    t.timer.setOnTimer(nullptr);
    int later = 0;
    t.timer.setOnTimer([&](TLightTimer&) { ++later; });
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(5));
    EXPECT_EQ(later, 0) << "the system timer was killed with the empty callback";
    // Still logically enabled: a new interval starts it again.
    EXPECT_TRUE(t.timer.Enabled());
    t.timer.setInterval(25);
    EXPECT_TRUE(pumpUntil([&] { return later >= 1; }));
}

TEST(LightTimerTest, CallbackMayFreeItsOwnTimer) {
    auto t = std::make_unique<TLightTimer>(20);
    bool freed = false;
    t->setOnTimer([&](TLightTimer&) {
        t.reset();
        freed = true;
    });
    t->setEnabled(true);
    ASSERT_TRUE(pumpUntil([&] { return freed; }));
    TickCount clock(20);
    EXPECT_TRUE(clock.waitTicks(3)) << "the shared window goes on serving other timers";
}

TEST(LightTimerTest, SharedWindowFindsTimersByAddressAndIgnoresOtherIdentifiers) {
    CountedTimer t(600000);
    HWND shared = TLightTimer::handlerWindow();
    ASSERT_NE(shared, nullptr);
    char cls[64] = "";
    GetClassNameA(shared, cls, sizeof cls);
    EXPECT_STREQ(cls, "TLightTimerHandler");
    // The timer's identifier is its address, whoever sends the message.
    SendMessageA(shared, WM_TIMER, reinterpret_cast<WPARAM>(&t.timer), 0);
    EXPECT_EQ(t.fired, 1);
    // An identifier that is no live timer: a freed one, or any number another process sends.
    // The freed timer's memory is given back what it held, as freed memory often still holds
    // it: a window that followed the identifier would count a firing there.
    alignas(CountedTimer) unsigned char storage[sizeof(CountedTimer)];
    auto* gone = new (storage) CountedTimer(20);
    WPARAM goneId = reinterpret_cast<WPARAM>(&gone->timer);
    unsigned char remains[sizeof(CountedTimer)];
    std::memcpy(remains, storage, sizeof remains);
    gone->~CountedTimer();
    std::memcpy(storage, remains, sizeof remains);
    SendMessageA(shared, WM_TIMER, goneId, 0);
    EXPECT_EQ(std::launder(reinterpret_cast<CountedTimer*>(storage))->fired, 0) << "the freed timer fired";
    SendMessageA(shared, WM_TIMER, 0x1234, 0);
    EXPECT_EQ(t.fired, 1);
}

TEST(LightTimerTest, SharedWindowComesWithTheFirstTimerAndGoesWithTheLast) {
    ASSERT_EQ(TLightTimer::handlerWindow(), nullptr) << "a timer of an earlier test is still alive";
    HWND shared = nullptr;
    {
        TLightTimer first;
        shared = TLightTimer::handlerWindow();
        ASSERT_TRUE(IsWindow(shared));
        {
            TLightTimer second;
            EXPECT_EQ(TLightTimer::handlerWindow(), shared);
        }
        EXPECT_TRUE(IsWindow(shared)) << "one timer still uses it";
    }
    EXPECT_FALSE(IsWindow(shared));
    EXPECT_EQ(TLightTimer::handlerWindow(), nullptr);
}

TEST(LightTimerTest, ForgedNcDestroyDoesNotPartTheSharedWindowFromItsTimers) {
    CountedTimer t(20);
    HWND shared = TLightTimer::handlerWindow();
    SendMessageA(shared, WM_NCDESTROY, 0, 0);
    ASSERT_TRUE(IsWindow(shared));
    EXPECT_EQ(TLightTimer::handlerWindow(), shared);
    t.timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return t.fired >= 1; }));
}
