// The notification-area icon: adds, changes and removes the shell's icon, turns mouse actions
// on it into events and the popup menu, and sends the main window to the tray and back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/IconList.h"
#include "ui/LightTimer.h"
#include "win32/UniqueHandle.h"

namespace ui {

// The shell's notification icon record as shell version 5.0 introduced it, ANSI: 128-byte
// tip and the balloon fields, no item GUID. Older and newer shells both accept this size.
struct NotifyIconData {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    char szInfo[256];
    UINT uTimeoutOrVersion;
    char szInfoTitle[64];
    DWORD dwInfoFlags;
};
static_assert(sizeof(void*) != 4 || sizeof(NotifyIconData) == 488, "the shell expects 488 bytes");

constexpr UINT TrayCallbackMessage = WM_USER + 1024;

class TTrayIcon {
public:
    // `owner` is the main window: the one the icon shows and hides.
    explicit TTrayIcon(HWND owner);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    void setIconList(const IconList* list);
    void setIconIndex(int index);
    int IconIndex() const noexcept { return iconIndex_; }
    void setHint(const std::string& hint);
    const std::string& Hint() const noexcept { return hint_; }
    void setShowHint(bool show);
    void setIconVisible(bool visible);
    bool IconVisible() const noexcept { return iconVisible_; }
    // Copies `icon` in (the caller keeps its own).
    void setIcon(HICON icon);
    void setEnabled(bool enabled) noexcept { enabled_ = enabled; }
    void setPopupMenu(HMENU menu) noexcept { popupMenu_ = menu; }
    void setMinimizeToTray(bool on) noexcept { minimizeToTray_ = on; }

    bool AddIcon();
    bool ModifyIcon();
    bool DeleteIcon();

    void ShowMainForm();
    void HideMainForm();
    void HideTaskbarButton();
    void SendToTray();
    void PopupAtCursor();

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;

    const NotifyIconData& iconData() const noexcept { return iconData_; }

    // The main window passes its messages here first; true when the message is consumed
    // (its result in `result`).
    bool ownerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // A mouse notification from the shell for this icon.
    void notify(UINT mouseMessage);
    // Whether a press still waits out the double-click time before it may count as a click.
    bool waitingForDoubleClick() const noexcept { return clickTimer_.Enabled(); }

private:
    void FillIconData();
    bool notifyShell(DWORD message);
    void clickTimerFired();

    HWND owner_;
    NotifyIconData iconData_{};
    const IconList* iconList_ = nullptr;
    win::UniqueIcon icon_;
    std::string hint_;
    int iconIndex_ = 0;
    bool showHint_ = true;
    bool iconVisible_ = false;
    bool enabled_ = true;
    bool minimizeToTray_ = false;
    HMENU popupMenu_ = nullptr;

    bool leftButtonDown_ = false;
    bool clickPending_ = false;
    bool dblClickSeen_ = false;
    TLightTimer clickTimer_;
};

}  // namespace ui
