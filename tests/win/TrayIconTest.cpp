// The tray icon component in this process: its icon record, its properties and the click
// decision.
#include <gtest/gtest.h>

#include <cstring>

#include "ui/TrayIcon.h"
#include "win32/Application.h"

using ui::TTrayIcon;

namespace {

// Handles this thread's messages (the click timer's among them) until `done` holds; false
// when it does not within the time.
template <typename Done>
bool pumpUntil(Done done, DWORD timeoutMs = 10000) {
    for (DWORD start = GetTickCount();;) {
        win::Application::processMessages();
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

ui::IconList twoIcons() {
    ui::IconList list;
    list.add(win::UniqueIcon(CopyIcon(LoadIconA(nullptr, IDI_APPLICATION))));
    list.add(win::UniqueIcon(CopyIcon(LoadIconA(nullptr, IDI_INFORMATION))));
    return list;
}

}  // namespace

TEST(TrayIconTest, IconRecordIsTheShellsFiveZeroLayout) {
    TTrayIcon icon(nullptr);
    const ui::NotifyIconData& d = icon.iconData();
    EXPECT_EQ(sizeof d, 488u);
    EXPECT_EQ(d.cbSize, 488u);
    EXPECT_EQ(d.uFlags, 7u);
    EXPECT_EQ(d.uCallbackMessage, 2048u);
    EXPECT_EQ(d.uID, static_cast<UINT>(reinterpret_cast<uintptr_t>(&icon)));
    char cls[64] = "";
    GetClassNameA(d.hWnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "TTrayIconHandler");
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
    ui::IconList list = twoIcons();
    TTrayIcon icon(nullptr);
    icon.setIconList(&list);
    icon.setIconIndex(5);
    EXPECT_EQ(icon.IconIndex(), 1);
    EXPECT_NE(icon.iconData().hIcon, nullptr);
    TTrayIcon bare(nullptr);
    bare.setIconIndex(5);
    EXPECT_EQ(bare.IconIndex(), 0);
}

TEST(TrayIconTest, ShowingAnIconThatIsAlreadyShownIsHarmless) {
    ui::IconList list = twoIcons();
    TTrayIcon icon(nullptr);
    icon.setIconList(&list);
    icon.setIconVisible(true);
    icon.setIconVisible(true);
    EXPECT_TRUE(icon.IconVisible());
    icon.setIconVisible(false);
    EXPECT_FALSE(icon.IconVisible());
}

TEST(TrayIconTest, DoubleClickRaisesOnDblClickOnceAndNoClick) {
    TTrayIcon icon(nullptr);
    int clicks = 0, doubles = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.OnDblClick = [&] { ++doubles; };
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    icon.notify(WM_LBUTTONDBLCLK);
    icon.notify(WM_LBUTTONUP);
    // A click would come when the double-click time runs out.
    ASSERT_TRUE(pumpUntil([&] { return !icon.waitingForDoubleClick(); }));
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(clicks, 0);
}

TEST(TrayIconTest, SingleClickWaitsForTheDoubleClickTimeWhenDoubleClicksAreWanted) {
    TTrayIcon icon(nullptr);
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.OnDblClick = [] {};
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(icon.waitingForDoubleClick());
    ASSERT_TRUE(pumpUntil([&] { return !icon.waitingForDoubleClick(); }));
    EXPECT_EQ(clicks, 1);
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
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    icon.setEnabled(false);
    icon.notify(WM_LBUTTONDOWN);
    icon.notify(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);
}

TEST(TrayIconTest, NotificationForAnUnknownIconIsIgnored) {
    TTrayIcon icon(nullptr);
    int clicks = 0;
    icon.OnClick = [&] { ++clicks; };
    // Any process may post to the hidden window: a forged identifier must not be followed.
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, 0x1234, WM_LBUTTONDOWN);
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, reinterpret_cast<WPARAM>(&icon), WM_LBUTTONDOWN);
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, reinterpret_cast<WPARAM>(&icon), WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
}
