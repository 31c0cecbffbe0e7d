// The tray icon's balloon notice, in-process: what the record carries to the shell, that it
// is shown once, and the click on it.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <string>

#include "ui/TrayIcon.h"

using ui::TTrayIcon;

namespace {

// What the shell sends when the user clicks the notice, through the icon's own window.
void balloonClicked(TTrayIcon& icon) {
    SendMessageA(icon.iconData().hWnd, ui::TrayCallbackMessage, icon.iconData().uID, NIN_BALLOONUSERCLICK);
}

}  // namespace

TEST(TrayBalloonTest, ANoticeGoesToTheShellOnceInTheRecordsBalloonFields) {
    TTrayIcon icon(nullptr);
    icon.setHint("Ombrix");
    icon.setIconVisible(true);
    const unsigned modifies = icon.shellCalls(NIM_MODIFY);
    const std::string text = std::string(300, 'x');
    EXPECT_TRUE(icon.ShowBalloon("Ombrix notice", text));
    EXPECT_EQ(icon.shellCalls(NIM_MODIFY), modifies + 1);
    const ui::NotifyIconData& record = icon.iconData();
    EXPECT_EQ(std::string(record.szInfo), std::string(255, 'x')) << "cut to what the field holds";
    EXPECT_STREQ(record.szInfoTitle, "Ombrix notice");
    EXPECT_EQ(record.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(record.uFlags & NIF_INFO, 0u) << "a later change of the icon would show it again";
    EXPECT_EQ(record.uTimeoutOrVersion, 0u) << "the version the icon was given stays";
    EXPECT_STREQ(record.szTip, "Ombrix");
}

TEST(TrayBalloonTest, AClickOnTheNoticeRaisesOnBalloonClickAndNoMouseEvent) {
    TTrayIcon icon(nullptr);
    int clicks = 0, mouse = 0;
    icon.OnBalloonClick = [&] { ++clicks; };
    icon.OnClick = [&] { ++mouse; };
    icon.OnMouseDown = [&](ui::TMouseButton, ui::TShiftState, int, int) { ++mouse; };
    balloonClicked(icon);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(mouse, 0);
}
