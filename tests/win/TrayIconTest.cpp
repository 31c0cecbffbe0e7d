// The tray icon component in this process: its icon record, its properties, the events of
// the mouse on the icon, its hidden window, its menu, cycling, and what it does with the
// messages of the main window it serves.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "tests/win/MessagePump.h"
#include "ui/TrayIcon.h"
#include "win32/Application.h"
#include "win32/UniqueHandle.h"
#include "win32/Window.h"

using testpump::pumpUntil;
using testpump::TickCount;
using ui::ShiftKey;
using ui::TMouseButton;
using ui::TShiftState;
using ui::TTrayIcon;

namespace {

ui::IconList someIcons(int n) {
    const LPCSTR stock[] = {IDI_APPLICATION, IDI_INFORMATION, IDI_WARNING};
    ui::IconList list;
    for (int i = 0; i < n; ++i) list.add(win::UniqueIcon(CopyIcon(LoadIconA(nullptr, stock[i % 3]))));
    return list;
}

LRESULT notifyThroughWindow(TTrayIcon& icon, UINT mouseMessage) {
    return SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, reinterpret_cast<WPARAM>(&icon),
                        mouseMessage);
}

// A top-level window that passes its messages to a tray icon first, as the main window does,
// and records the icon's menu commands and the null messages that reach it. A WM_COMMAND
// that reaches the window is recorded apart: the icon never sends one.
class OwnerWindow : public win::Window {
public:
    OwnerWindow() {
        registerClass("OmbrixTrayTestOwner");
        create("OmbrixTrayTestOwner", "Tray test owner", 0, WS_OVERLAPPEDWINDOW, 100, 100, 240, 160);
        icon = std::make_unique<TTrayIcon>(hwnd());
        icon->OnMenuCommand = [this](UINT command) { commands.push_back(command); };
    }
    ~OwnerWindow() override { icon.reset(); }

    std::unique_ptr<TTrayIcon> icon;
    std::vector<UINT> commands;
    std::vector<UINT> windowCommands;
    int nullMessages = 0;

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT result = 0;
        if (icon && icon->ownerMessage(msg, wp, lp, result)) return result;
        if (msg == WM_COMMAND) windowCommands.push_back(LOWORD(wp));
        if (msg == WM_NULL) ++nullMessages;
        return defaultHandling(msg, wp, lp);
    }
};

// Makes a window the application's main window for one test.
class MainWindowScope {
public:
    explicit MainWindowScope(HWND main) : previous_(win::Application::mainWindow()) {
        win::Application::setMainWindow(main);
    }
    ~MainWindowScope() {
        win::Application::setMainWindow(previous_);
        win::Application::setShowMainForm(true);
    }

private:
    HWND previous_;
};

// Puts the cursor at (x, y) and waits until the system reports it there.
bool cursorTo(int x, int y) {
    if (!SetCursorPos(x, y)) return false;
    return pumpUntil(
        [&] {
            POINT pt;
            return GetCursorPos(&pt) && pt.x == x && pt.y == y;
        },
        2000);
}

POINT cursorNow() {
    POINT pt{};
    GetCursorPos(&pt);
    return pt;
}

win::UniqueMenu threeItemMenu() {
    win::UniqueMenu menu(CreatePopupMenu());
    AppendMenuA(menu.get(), MF_STRING, 301, "&First");
    AppendMenuA(menu.get(), MF_STRING, 302, "&Second");
    AppendMenuA(menu.get(), MF_STRING, 303, "&Third");
    return menu;
}

void markDefault(HMENU menu, UINT position) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    item.fState = MFS_DEFAULT;
    SetMenuItemInfoA(menu, position, TRUE, &item);
}

bool isDefault(HMENU menu, UINT position) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    return GetMenuItemInfoA(menu, position, TRUE, &item) && (item.fState & MFS_DEFAULT);
}

// A popup menu of this process on screen.
bool menuOnScreen() {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return true;
    }
    return false;
}

// Holds a key down through the system's input for one scope.
class HeldKey {
public:
    explicit HeldKey(WORD vk) : vk_(vk) { send(0); }
    ~HeldKey() { send(KEYEVENTF_KEYUP); }

private:
    void send(DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk_;
        in.ki.dwFlags = flags;
        SendInput(1, &in, sizeof in);
    }
    WORD vk_;
};

}  // namespace

// --- The record and the properties ------------------------------------------------------

TEST(TrayIconTest, IconRecordIsTheShellsFiveZeroLayout) {
    TTrayIcon icon(nullptr);
    const ui::NotifyIconData& d = icon.iconData();
    // The 5.0 record: 488 bytes in a 32-bit process, 504 with 64-bit handles.
    const size_t layout = sizeof(void*) == 8 ? 504u : 488u;
    EXPECT_EQ(sizeof d, layout);
    EXPECT_EQ(d.cbSize, layout);
    EXPECT_EQ(d.uFlags, 7u);
    EXPECT_EQ(d.uCallbackMessage, 2048u);
    EXPECT_EQ(d.uID, static_cast<UINT>(reinterpret_cast<uintptr_t>(&icon)));
    char cls[64] = "";
    GetClassNameA(d.hWnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "TTrayIconHandler");
}

TEST(TrayIconTest, DefaultsAreThoseOfANewComponent) {
    TTrayIcon icon(nullptr);
    EXPECT_TRUE(icon.Enabled());
    EXPECT_TRUE(icon.ShowHint());
    EXPECT_FALSE(icon.IconVisible());
    EXPECT_FALSE(icon.CycleIcons());
    EXPECT_EQ(icon.CycleInterval(), 0u);
    EXPECT_FALSE(icon.LeftPopup());
    EXPECT_FALSE(icon.WantEnterExitEvents());
    EXPECT_FALSE(icon.MinimizeToTray());
    EXPECT_EQ(icon.IconIndex(), 0);
    EXPECT_EQ(icon.Icon(), nullptr);
    EXPECT_EQ(icon.PopupMenu(), nullptr);
}

TEST(TrayIconTest, HintIsCutToItsFirst127Characters) {
    TTrayIcon icon(nullptr);
    icon.setHint(std::string(200, 'x'));
    EXPECT_EQ(std::string(icon.iconData().szTip), std::string(127, 'x'));
    EXPECT_EQ(icon.iconData().szTip[127], '\0');
    EXPECT_EQ(icon.Hint().size(), 200u) << "the property keeps the whole text";
}

TEST(TrayIconTest, EmptyHintOrShowHintOffGivesAnEmptyTip) {
    TTrayIcon icon(nullptr);
    icon.setHint("Ombrix");
    EXPECT_STREQ(icon.iconData().szTip, "Ombrix");
    icon.setShowHint(false);
    char zeros[128] = {};
    EXPECT_EQ(std::memcmp(icon.iconData().szTip, zeros, sizeof zeros), 0);
    icon.setShowHint(true);
    icon.setHint("");
    EXPECT_EQ(std::memcmp(icon.iconData().szTip, zeros, sizeof zeros), 0);
}

TEST(TrayIconTest, IconIndexStaysWithinTheList) {
    ui::IconList list = someIcons(2);
    TTrayIcon icon(nullptr);
    icon.setIconList(&list);
    icon.setIconIndex(5);
    EXPECT_EQ(icon.IconIndex(), 1);
    EXPECT_NE(icon.iconData().hIcon, nullptr);
    TTrayIcon bare(nullptr);
    bare.setIconIndex(5);
    EXPECT_EQ(bare.IconIndex(), 0);
}

TEST(TrayIconTest, DestroyedIconListIsLetGoOf) {
    TTrayIcon icon(nullptr);
    {
        ui::IconList list = someIcons(2);
        icon.setIconList(&list);
        icon.setIconIndex(1);
        EXPECT_EQ(icon.IconIndex(), 1);
    }
    EXPECT_EQ(icon.iconList(), nullptr);
    EXPECT_EQ(icon.IconIndex(), 0);
    icon.setIconIndex(1);
    EXPECT_EQ(icon.IconIndex(), 0);
    // The other way round: a list that outlives its component tells nobody. The component's
    // memory is given back what it held when it went, so a call that the list still made
    // to it would show there.
    alignas(TTrayIcon) unsigned char storage[sizeof(TTrayIcon)];
    unsigned char remains[sizeof(TTrayIcon)];
    const ui::IconList* watched = nullptr;
    {
        ui::IconList outliving = someIcons(1);
        watched = &outliving;
        auto* gone = new (storage) TTrayIcon(nullptr);
        gone->setIconList(&outliving);
        std::memcpy(remains, storage, sizeof remains);
        gone->~TTrayIcon();
        std::memcpy(storage, remains, sizeof remains);
    }
    EXPECT_EQ(std::launder(reinterpret_cast<TTrayIcon*>(storage))->iconList(), watched)
        << "the list told a component that had gone";
}

TEST(TrayIconTest, ShowingAnIconThatIsAlreadyShownIsHarmless) {
    ui::IconList list = someIcons(2);
    TTrayIcon icon(nullptr);
    icon.setIconList(&list);
    icon.setIconVisible(true);
    icon.setIconVisible(true);
    EXPECT_TRUE(icon.IconVisible());
    EXPECT_EQ(icon.shellCalls(NIM_ADD), 2u) << "each showing asks the shell; the second is without effect";
    icon.setIconVisible(false);
    EXPECT_FALSE(icon.IconVisible());
    EXPECT_EQ(icon.lastShellCall(), static_cast<DWORD>(NIM_DELETE));
}

// --- Clicks -----------------------------------------------------------------------------

TEST(TrayIconTest, DoubleClickRaisesOnDblClickOnceAndNoClick) {
    TTrayIcon icon(nullptr);
    int clicks = 0, doubles = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.OnDblClick = [&] { ++doubles; };
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    icon.notify(WM_LBUTTONDBLCLK);
    icon.notify(WM_LBUTTONUP);
    // A single click on a second icon, made afterwards, is reported after the double-click
    // time: by then the first icon's click timer has decided too.
    TTrayIcon later(nullptr);
    int laterClicks = 0;
    later.OnClick = [&] { ++laterClicks; };
    later.OnDblClick = [] {};
    later.notify(WM_LBUTTONDOWN);
    later.notify(WM_LBUTTONUP);
    ASSERT_TRUE(pumpUntil([&] { return laterClicks == 1; }, GetDoubleClickTime() + 5000));
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(clicks, 0);
}

TEST(TrayIconTest, SingleClickWaitsForTheDoubleClickTimeWhenDoubleClicksAreWanted) {
    TTrayIcon icon(nullptr);
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.OnDblClick = [] {};
    const DWORD start = GetTickCount();
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);
    ASSERT_TRUE(pumpUntil([&] { return clicks == 1; }, GetDoubleClickTime() + 5000));
    // Not before the double-click time (less the tick counter's granularity).
    EXPECT_GE(GetTickCount() - start + 50, GetDoubleClickTime());
}

TEST(TrayIconTest, SingleClickIsAtOnceWithoutADoubleClickHandler) {
    TTrayIcon icon(nullptr);
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
}

TEST(TrayIconTest, DisabledIconIgnoresTheMouse) {
    TTrayIcon icon(nullptr);
    int events = 0;
    icon.OnClick = [&] { ++events; };
    icon.OnMouseDown = [&](TMouseButton, TShiftState, int, int) { ++events; };
    icon.OnMouseMove = [&](TShiftState, int, int) { ++events; };
    icon.setEnabled(false);
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) icon.notify(m);
    EXPECT_EQ(events, 0);
}

TEST(TrayIconTest, NotificationForAnUnknownIconIsIgnored) {
    TTrayIcon icon(nullptr);
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    // Any process may post to the hidden window: a forged identifier must not be followed. A
    // whole click is forged, which would be a click of a live icon at once.
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, 0x1234, WM_LBUTTONDOWN);
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, 0x1234, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0) << "the forged click reached the icon";
    notifyThroughWindow(icon, WM_LBUTTONDOWN);
    notifyThroughWindow(icon, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
}

// --- The hidden window ------------------------------------------------------------------

TEST(TrayIconHandlerWindowTest, AnswersCloseEndAndDestroyMessagesWithOneAndStays) {
    TTrayIcon icon(nullptr);
    HWND h = icon.iconData().hWnd;
    for (UINT m : {WM_CLOSE, WM_QUERYENDSESSION, WM_ENDSESSION, WM_QUIT, WM_DESTROY, WM_NCDESTROY}) {
        EXPECT_EQ(SendMessageA(h, m, 0, 0), 1) << "message " << m;
        EXPECT_TRUE(IsWindow(h)) << "message " << m;
    }
    // And it still serves its component.
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    notifyThroughWindow(icon, WM_LBUTTONDOWN);
    notifyThroughWindow(icon, WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
}

TEST(TrayIconHandlerWindowTest, OneWindowServesEveryComponentAndGoesWithTheLast) {
    HWND shared = nullptr;
    {
        TTrayIcon first(nullptr);
        shared = first.iconData().hWnd;
        {
            TTrayIcon second(nullptr);
            EXPECT_EQ(second.iconData().hWnd, shared);
            EXPECT_NE(second.iconData().uID, first.iconData().uID);
        }
        EXPECT_TRUE(IsWindow(shared));
    }
    EXPECT_FALSE(IsWindow(shared));
}

TEST(TrayIconHandlerWindowTest, HandlerMayFreeItsComponentDuringANotification) {
    TTrayIcon other(nullptr);  // keeps the hidden window alive
    alignas(TTrayIcon) unsigned char storage[sizeof(TTrayIcon)];
    auto* icon = new (storage) TTrayIcon(nullptr);
    HWND h = icon->iconData().hWnd;
    WPARAM id = reinterpret_cast<WPARAM>(icon);
    bool freed = false;
    icon->OnClick = [&] {
        icon->~TTrayIcon();
        freed = true;
    };
    icon->OnMouseUp = [](TMouseButton, TShiftState, int, int) { ADD_FAILURE() << "raised on a freed component"; };
    SendMessageA(h, ui::TrayCallbackMessage, id, WM_LBUTTONDOWN);
    SendMessageA(h, ui::TrayCallbackMessage, id, WM_LBUTTONUP);
    ASSERT_TRUE(freed);

    // Its identifier is no longer honoured. The freed place is given the bytes of a live
    // component whose events count, so a window that followed the identifier would raise an
    // event there instead of reading freed memory. The forged notifications come from another
    // thread with a time limit, so a window that hung over them fails the test too.
    TTrayIcon witness(nullptr);
    int reached = 0;
    witness.OnMouseDown = [&](TMouseButton, TShiftState, int, int) { ++reached; };
    witness.OnMouseUp = [&](TMouseButton, TShiftState, int, int) { ++reached; };
    witness.OnClick = [&] { ++reached; };
    std::memcpy(static_cast<void*>(storage), static_cast<const void*>(&witness), sizeof storage);
    std::atomic<int> answered{0};
    std::thread forger([&] {
        for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(h, ui::TrayCallbackMessage, id, m, SMTO_NORMAL, 3000, &result)) ++answered;
        }
        answered += 100;
    });
    const bool done = pumpUntil([&] { return answered >= 100; }, 8000);
    forger.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(answered, 102) << "the window did not answer the forged notifications in time";
    EXPECT_EQ(reached, 0) << "the freed component's identifier was honoured";
}

// --- Mouse events -----------------------------------------------------------------------

TEST(TrayIconMouseEventsTest, ButtonEventsCarryTheButtonItsFlagAndTheCursorPosition) {
    TTrayIcon icon(nullptr);
    struct Event {
        bool down;
        TMouseButton button;
        TShiftState shift;
        int x, y;
    };
    std::vector<Event> events;
    icon.OnMouseDown = [&](TMouseButton b, TShiftState s, int x, int y) { events.push_back({true, b, s, x, y}); };
    icon.OnMouseUp = [&](TMouseButton b, TShiftState s, int x, int y) { events.push_back({false, b, s, x, y}); };
    int moves = 0;
    TShiftState moveShift{ShiftKey::ssLeft};
    POINT movedAt{-1, -1};
    icon.OnMouseMove = [&](TShiftState s, int x, int y) {
        ++moves;
        moveShift = s;
        movedAt = {x, y};
    };
    cursorTo(140, 120);
    const POINT pt = cursorNow();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP})
        notifyThroughWindow(icon, m);
    notifyThroughWindow(icon, WM_MOUSEMOVE);
    ASSERT_EQ(events.size(), 6u);
    const TMouseButton buttons[] = {TMouseButton::mbLeft, TMouseButton::mbRight, TMouseButton::mbMiddle};
    const ShiftKey flags[] = {ShiftKey::ssLeft, ShiftKey::ssRight, ShiftKey::ssMiddle};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].down, i % 2 == 0);
        EXPECT_EQ(events[i].button, buttons[i / 2]);
        EXPECT_EQ(events[i].shift, TShiftState{flags[i / 2]}) << "the button's own flag and no key";
        EXPECT_EQ(events[i].x, pt.x);
        EXPECT_EQ(events[i].y, pt.y);
    }
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(moveShift, TShiftState{}) << "a move carries the keys only";
    EXPECT_EQ(movedAt.x, pt.x);
    EXPECT_EQ(movedAt.y, pt.y);
}

TEST(TrayIconMouseEventsTest, PositionIsTheCursorsWhenTheNotificationIsHandled) {
    TTrayIcon icon(nullptr);
    POINT at{-1, -1};
    icon.OnMouseUp = [&](TMouseButton, TShiftState, int x, int y) { at = {x, y}; };
    if (!cursorTo(60, 70) || !cursorTo(90, 110))
        GTEST_SKIP() << "not checked: the position an event carries; why: the cursor cannot be placed on this desktop";
    // Posted while the cursor was elsewhere: the message carries no position of its own.
    PostMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, reinterpret_cast<WPARAM>(&icon), WM_RBUTTONUP);
    ASSERT_TRUE(cursorTo(60, 70));
    ASSERT_TRUE(pumpUntil([&] { return at.x != -1; }));
    EXPECT_EQ(at.x, 60);
    EXPECT_EQ(at.y, 70);
}

TEST(TrayIconMouseEventsTest, HeldShiftKeyIsInTheShiftState) {
    TTrayIcon icon(nullptr);
    TShiftState shift;
    bool raised = false;
    icon.OnMouseDown = [&](TMouseButton, TShiftState s, int, int) {
        shift = s;
        raised = true;
    };
    {
        HeldKey held(VK_SHIFT);
        if (!pumpUntil([] { return GetAsyncKeyState(VK_SHIFT) < 0; }, 2000))
            GTEST_SKIP() << "not checked: a held Shift in the shift state; why: keys sent to this desktop do not "
                            "reach the keyboard state";
        notifyThroughWindow(icon, WM_RBUTTONDOWN);
    }
    ASSERT_TRUE(raised);
    EXPECT_EQ(shift, (TShiftState{ShiftKey::ssShift, ShiftKey::ssRight}));
    pumpUntil([] { return GetAsyncKeyState(VK_SHIFT) >= 0; }, 2000);
}

// --- Enter and exit ---------------------------------------------------------------------

TEST(TrayIconEnterExitTest, EnterOnTheFirstMoveAndExitOnceTheCursorHasLeft) {
    if (!cursorTo(200, 200))
        GTEST_SKIP() << "not checked: the enter and exit events; why: the cursor cannot be placed on this desktop";
    TTrayIcon icon(nullptr), quiet(nullptr);
    int enters = 0, exits = 0, quietEvents = 0;
    icon.OnMouseEnter = [&] { ++enters; };
    icon.OnMouseExit = [&] { ++exits; };
    quiet.OnMouseEnter = [&] { ++quietEvents; };
    quiet.OnMouseExit = [&] { ++quietEvents; };
    icon.setWantEnterExitEvents(true);
    EXPECT_TRUE(icon.WantEnterExitEvents());

    notifyThroughWindow(icon, WM_MOUSEMOVE);
    notifyThroughWindow(quiet, WM_MOUSEMOVE);
    notifyThroughWindow(icon, WM_MOUSEMOVE);
    EXPECT_EQ(enters, 1);
    // While the cursor stays where the move saw it, the 20 ms check finds no exit.
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(6));
    EXPECT_EQ(exits, 0);

    ASSERT_TRUE(cursorTo(260, 230));
    ASSERT_TRUE(pumpUntil([&] { return exits == 1; }, 2000));
    ASSERT_TRUE(clock.waitTicks(6));
    EXPECT_EQ(exits, 1) << "one exit until the cursor comes back";

    notifyThroughWindow(icon, WM_MOUSEMOVE);
    EXPECT_EQ(enters, 2);
    EXPECT_EQ(quietEvents, 0) << "without WantEnterExitEvents there is neither enter nor exit";

    icon.setWantEnterExitEvents(false);
    ASSERT_TRUE(cursorTo(220, 210));
    ASSERT_TRUE(clock.waitTicks(6));
    EXPECT_EQ(exits, 1) << "the exit check stopped";
}

// --- Cycling ----------------------------------------------------------------------------

TEST(TrayIconCycleTest, NothingCyclesWithIntervalZeroAndANonZeroIntervalStartsIt) {
    ui::IconList list = someIcons(3);
    TTrayIcon icon(nullptr);
    icon.setIconList(&list);
    icon.setIconIndex(2);
    std::vector<int> next, shown;
    icon.OnCycle = [&](int nextIndex) {
        next.push_back(nextIndex);
        shown.push_back(icon.IconIndex());
    };
    icon.setCycleIcons(true);
    EXPECT_EQ(icon.IconIndex(), 0) << "cycling starts from the first icon";
    TickCount clock(20);
    ASSERT_TRUE(clock.waitTicks(6));
    EXPECT_TRUE(next.empty());

    icon.setCycleInterval(20);
    ASSERT_TRUE(pumpUntil([&] { return next.size() >= 4; }));
    icon.setCycleIcons(false);
    EXPECT_EQ(std::vector<int>(next.begin(), next.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 4), (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(icon.IconIndex(), next.back());

    const size_t steps = next.size();
    ASSERT_TRUE(clock.waitTicks(6));
    EXPECT_EQ(next.size(), steps) << "switched off";
}

TEST(TrayIconCycleTest, CyclingWithoutAListStaysOnIndexZero) {
    TTrayIcon icon(nullptr);
    std::vector<int> next;
    icon.OnCycle = [&](int nextIndex) { next.push_back(nextIndex); };
    icon.setCycleInterval(20);
    icon.setCycleIcons(true);
    ASSERT_TRUE(pumpUntil([&] { return next.size() >= 2; }));
    icon.setCycleIcons(false);
    EXPECT_EQ(next[0], 0);
    EXPECT_EQ(next[1], 0);
    EXPECT_EQ(icon.IconIndex(), 0);
}

// --- The menu ---------------------------------------------------------------------------

TEST(TrayIconMenuTest, DoubleClickSendsTheDefaultItemsCommandToTheOwner) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    win::UniqueMenu menu = threeItemMenu();
    SetMenuDefaultItem(menu.get(), 302, FALSE);
    icon.setPopupMenu(menu.get());
    int doubles = 0;
    icon.OnDblClick = [&] { ++doubles; };
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(pumpUntil([&] { return !owner.commands.empty(); }, 2000));
    EXPECT_EQ(owner.commands, std::vector<UINT>{302});
    EXPECT_EQ(doubles, 1);
    EXPECT_TRUE(owner.windowCommands.empty()) << "a posted command is what any program can forge";
}

TEST(TrayIconMenuTest, OfSeveralDefaultItemsTheLowestPlacedIsClicked) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    win::UniqueMenu menu = threeItemMenu();
    markDefault(menu.get(), 1);
    markDefault(menu.get(), 2);
    if (!isDefault(menu.get(), 1))
        GTEST_SKIP() << "not checked: which of several default items is clicked; why: this system keeps one default "
                        "item per menu";
    icon.setPopupMenu(menu.get());
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(pumpUntil([&] { return !owner.commands.empty(); }, 2000));
    EXPECT_EQ(owner.commands, std::vector<UINT>{302});
}

TEST(TrayIconMenuTest, NoDefaultItemIsClickedWithLeftPopupWithoutAutoPopupOrWhenDisabled) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    win::UniqueMenu menu = threeItemMenu();
    SetMenuDefaultItem(menu.get(), 303, FALSE);
    icon.setPopupMenu(menu.get());
    icon.setLeftPopup(true);
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    icon.setLeftPopup(false);
    icon.setPopupMenu(menu.get(), false);
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    icon.setPopupMenu(menu.get());
    EnableMenuItem(menu.get(), 303, MF_BYCOMMAND | MF_GRAYED);
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    // The one double click that does click its item comes last: the others had their turn.
    EnableMenuItem(menu.get(), 303, MF_BYCOMMAND | MF_ENABLED);
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(pumpUntil([&] { return !owner.commands.empty(); }, 2000));
    EXPECT_EQ(owner.commands, std::vector<UINT>{303});
}

TEST(TrayIconMenuTest, RightPressOpensTheMenuAndTheOwnerGetsANullMessageWhenItCloses) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    win::UniqueMenu menu = threeItemMenu();
    icon.setPopupMenu(menu.get());
    // OnPopup comes first, while the window in front is still the one the user had there.
    int popups = 0;
    bool beforeTheMenu = false;
    icon.OnPopup = [&] {
        ++popups;
        beforeTheMenu = !menuOnScreen() && GetForegroundWindow() != icon.iconData().hWnd;
    };
    // The menu runs its own loop; a timer served by that loop sees it and dismisses it, as
    // a click elsewhere would.
    bool seen = false;
    ui::TLightTimer closer(100);
    closer.setOnTimer([&](ui::TLightTimer&) {
        seen = seen || menuOnScreen();
        EndMenu();
    });
    closer.setEnabled(true);
    notifyThroughWindow(icon, WM_RBUTTONDOWN);
    closer.setEnabled(false);
    EXPECT_TRUE(seen);
    EXPECT_EQ(popups, 1);
    EXPECT_TRUE(beforeTheMenu);
    ASSERT_TRUE(pumpUntil([&] { return owner.nullMessages > 0; }, 2000));
    EXPECT_TRUE(owner.commands.empty()) << "nothing was chosen";
}

TEST(TrayIconMenuTest, DestroyedMenuIsLetGoOf) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    win::UniqueMenu menu = threeItemMenu();
    icon.setPopupMenu(menu.get());
    menu.reset();
    notifyThroughWindow(icon, WM_RBUTTONDOWN);  // would open it
    notifyThroughWindow(icon, WM_LBUTTONDBLCLK);
    icon.PopupAtCursor();
    EXPECT_EQ(icon.PopupMenu(), nullptr);
}

// --- The main window's messages ---------------------------------------------------------

TEST(TrayIconMainWindowTest, TaskbarCreatedAddsTheIconAgainOnlyWhenItIsVisible) {
    const UINT taskbarCreated = TTrayIcon::taskbarCreatedMessage();
    ASSERT_GE(TTrayIcon::comctl32Version(), 0x00040047u) << "comctl32.dll is 4.71 or later everywhere";
    ASSERT_EQ(taskbarCreated, RegisterWindowMessageA("TaskbarCreated"));
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    icon.setIconVisible(true);
    const unsigned adds = icon.shellCalls(NIM_ADD);
    SendMessageA(owner.hwnd(), taskbarCreated, 0, 0);
    EXPECT_EQ(icon.shellCalls(NIM_ADD), adds + 1);
    EXPECT_EQ(icon.lastShellCall(), static_cast<DWORD>(NIM_ADD));
    icon.setIconVisible(false);
    SendMessageA(owner.hwnd(), taskbarCreated, 0, 0);
    EXPECT_EQ(icon.shellCalls(NIM_ADD), adds + 1);
    EXPECT_FALSE(icon.IconVisible());
}

TEST(TrayIconMainWindowTest, MinimizingSendsTheMainWindowToTheTrayAndRestoreBringsItBack) {
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    icon.setMinimizeToTray(true);
    ShowWindow(owner.hwnd(), SW_SHOWNORMAL);
    ShowWindow(owner.hwnd(), SW_MINIMIZE);
    ASSERT_TRUE(pumpUntil([&] { return !IsWindowVisible(owner.hwnd()); }, 3000));
    EXPECT_TRUE(icon.IconVisible());
    SendMessageA(owner.hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(owner.hwnd()) && !IsIconic(owner.hwnd()); }, 3000));
}

TEST(TrayIconMainWindowTest, MinimizingWithoutMinimizeToTrayLeavesTheWindowMinimized) {
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    ShowWindow(owner.hwnd(), SW_SHOWNORMAL);
    ShowWindow(owner.hwnd(), SW_MINIMIZE);
    ASSERT_TRUE(pumpUntil([&] { return IsIconic(owner.hwnd()); }, 3000));
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
    EXPECT_FALSE(icon.IconVisible());
}

TEST(TrayIconMainWindowTest, MinimizeCommandGoesToTheTrayInsteadWhenOnMinimizeToTrayIsHandled) {
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    icon.setMinimizeToTray(true);
    int asked = 0;
    icon.OnMinimizeToTray = [&] { ++asked; };
    ShowWindow(owner.hwnd(), SW_SHOWNORMAL);
    EXPECT_EQ(SendMessageA(owner.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(IsWindowVisible(owner.hwnd()));
    EXPECT_FALSE(IsIconic(owner.hwnd())) << "the command was not passed on";
    EXPECT_TRUE(icon.IconVisible());
    icon.ShowMainForm();
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
}

TEST(TrayIconMainWindowTest, ShowAndHideMainFormNeedAMainWindowAndAWindowOwner) {
    OwnerWindow owner;
    TTrayIcon& icon = *owner.icon;
    ShowWindow(owner.hwnd(), SW_SHOWNORMAL);
    icon.HideMainForm();  // no main window yet
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
    MainWindowScope main(owner.hwnd());
    TTrayIcon ownerless(nullptr);
    ownerless.HideMainForm();
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
    icon.HideMainForm();
    EXPECT_FALSE(IsWindowVisible(owner.hwnd()));
    // Hidden and minimised, as minimising to the tray leaves it.
    ShowWindow(owner.hwnd(), SW_MINIMIZE);
    ShowWindow(owner.hwnd(), SW_HIDE);
    ASSERT_TRUE(IsIconic(owner.hwnd()));
    icon.ShowMainForm();
    EXPECT_TRUE(IsWindowVisible(owner.hwnd()));
    EXPECT_FALSE(IsIconic(owner.hwnd()));
}

TEST(TrayIconMainWindowTest, LoadedAsksOnStartupAndEndsWithTheShellVersionCall) {
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    icon.setHint("Ombrix");
    icon.setIconVisible(true);
    const unsigned adds = icon.shellCalls(NIM_ADD), modifies = icon.shellCalls(NIM_MODIFY);
    int asked = 0;
    icon.OnStartup = [&](bool& show) {
        ++asked;
        EXPECT_TRUE(show);
    };
    icon.loaded();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(icon.shellCalls(NIM_MODIFY), modifies + 1);
    EXPECT_EQ(icon.shellCalls(NIM_ADD), adds + 1) << "a visible icon is added again";
    EXPECT_EQ(icon.shellCalls(NIM_SETVERSION), 1u);
    EXPECT_EQ(icon.lastShellCall(), static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(icon.iconData().uTimeoutOrVersion, 0u);
    EXPECT_TRUE(win::Application::showMainForm());

    TTrayIcon ownerless(nullptr);
    ownerless.OnStartup = [&](bool&) { ++asked; };
    ownerless.loaded();
    EXPECT_EQ(asked, 1) << "only a component with a window owner asks";
    EXPECT_EQ(ownerless.shellCalls(NIM_DELETE), 1u) << "an icon that is not visible is deleted again";
}

TEST(TrayIconMainWindowTest, StartupHandlerThatSaysNoKeepsTheMainWindowHidden) {
    OwnerWindow owner;
    MainWindowScope main(owner.hwnd());
    TTrayIcon& icon = *owner.icon;
    ShowWindow(owner.hwnd(), SW_SHOWNORMAL);
    icon.OnStartup = [](bool& show) { show = false; };
    icon.loaded();
    EXPECT_FALSE(IsWindowVisible(owner.hwnd()));
    EXPECT_FALSE(win::Application::showMainForm());
}
