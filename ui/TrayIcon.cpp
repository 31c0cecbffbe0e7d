// The notification-area icon and its shared hidden window.
#include "ui/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "win32/Application.h"
#include "win32/Window.h"

namespace ui {
namespace {

UINT taskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

// One hidden window per process receives the shell's notifications for every tray icon.
class TTrayIconHandler : public win::Window {
public:
    TTrayIconHandler() {
        registerClass("TTrayIconHandler");
        create("TTrayIconHandler", "", 0, WS_POPUP, 0, 0, 0, 0);
    }
    std::set<TTrayIcon*> icons;

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
        case TrayCallbackMessage:
            // The identifier is a component's address; any process may post to this window,
            // so only the addresses of live components are honoured.
            for (TTrayIcon* icon : icons)
                if (reinterpret_cast<WPARAM>(icon) == wp) {
                    icon->notify(static_cast<UINT>(lp));
                    break;
                }
            return 0;
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUERYENDSESSION:
        case WM_QUIT:
        case WM_ENDSESSION:
        case WM_NCDESTROY:
            Window::handle(msg, wp, lp);
            return 1;
        default:
            return defaultHandling(msg, wp, lp);
        }
    }
};

TTrayIconHandler* gHandler = nullptr;
int gReferences = 0;

}  // namespace

TTrayIcon::TTrayIcon(HWND owner) : owner_(owner) {
    if (gReferences++ == 0) gHandler = new TTrayIconHandler;
    gHandler->icons.insert(this);
    taskbarCreatedMessage();
    iconData_.cbSize = sizeof(NotifyIconData);
    iconData_.hWnd = gHandler->hwnd();
    iconData_.uID = static_cast<UINT>(reinterpret_cast<uintptr_t>(this));
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    iconData_.uCallbackMessage = TrayCallbackMessage;
    clickTimer_.setOnTimer([this](TLightTimer&) { clickTimerFired(); });
}

TTrayIcon::~TTrayIcon() {
    setIconVisible(false);
    gHandler->icons.erase(this);
    if (--gReferences == 0) {
        delete gHandler;
        gHandler = nullptr;
    }
}

void TTrayIcon::setIconList(const IconList* list) {
    iconList_ = list;
    setIconIndex(0);
}

void TTrayIcon::setIconIndex(int index) {
    if (iconList_ && iconList_->count() > 0) {
        iconIndex_ = std::clamp(index, 0, iconList_->count() - 1);
        setIcon(iconList_->icon(iconIndex_));
        return;  // setIcon has modified the icon
    }
    iconIndex_ = 0;
    ModifyIcon();
}

void TTrayIcon::setHint(const std::string& hint) {
    hint_ = hint;
    ModifyIcon();
}

void TTrayIcon::setShowHint(bool show) {
    showHint_ = show;
    ModifyIcon();
}

void TTrayIcon::setIconVisible(bool visible) {
    if (visible)
        AddIcon();
    else
        DeleteIcon();
}

void TTrayIcon::setIcon(HICON icon) {
    icon_.reset(icon ? CopyIcon(icon) : nullptr);
    ModifyIcon();
}

void TTrayIcon::FillIconData() {
    iconData_.hIcon = icon_.get();
    std::memset(iconData_.szTip, 0, sizeof iconData_.szTip);
    if (!hint_.empty() && showHint_) {
        size_t n = std::min(hint_.size(), sizeof iconData_.szTip - 1);
        std::memcpy(iconData_.szTip, hint_.data(), n);
    }
}

bool TTrayIcon::notifyShell(DWORD message) {
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&iconData_)) != FALSE;
}

bool TTrayIcon::AddIcon() {
    iconVisible_ = true;
    FillIconData();
    return notifyShell(NIM_ADD);
}

bool TTrayIcon::DeleteIcon() {
    iconVisible_ = false;
    FillIconData();
    return notifyShell(NIM_DELETE);
}

bool TTrayIcon::ModifyIcon() {
    FillIconData();
    return notifyShell(NIM_MODIFY);
}

void TTrayIcon::ShowMainForm() {
    if (!owner_) return;
    if (IsIconic(owner_)) ShowWindow(owner_, SW_RESTORE);
    ShowWindow(owner_, SW_SHOW);
    SetForegroundWindow(owner_);
}

void TTrayIcon::HideMainForm() {
    if (!owner_) return;
    ShowWindow(owner_, SW_HIDE);
    HideTaskbarButton();
}

void TTrayIcon::HideTaskbarButton() {
    // The main window owns the taskbar button itself, so hiding it above has already
    // removed the button; an application window of its own would be hidden here.
    HWND app = GetWindow(owner_, GW_OWNER);
    if (app && IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}

void TTrayIcon::SendToTray() {
    HideMainForm();
    setIconVisible(true);
}

void TTrayIcon::PopupAtCursor() {
    POINT pt;
    if (!GetCursorPos(&pt) || !popupMenu_) return;
    SetForegroundWindow(gHandler->hwnd());
    win::Application::processMessages();
    UINT command = static_cast<UINT>(TrackPopupMenu(popupMenu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                                                    gHandler->hwnd(), nullptr));
    if (owner_) {
        if (command) PostMessageA(owner_, WM_COMMAND, command, 0);
        PostMessageA(owner_, WM_NULL, 0, 0);
    }
}

void TTrayIcon::notify(UINT mouseMessage) {
    if (!enabled_) return;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        if (OnDblClick) {
            clickTimer_.setInterval(GetDoubleClickTime());
            clickTimer_.setEnabled(true);
        }
        leftButtonDown_ = true;
        break;
    case WM_LBUTTONUP:
        if (leftButtonDown_) clickPending_ = true;
        if (leftButtonDown_ && !clickTimer_.Enabled()) {
            leftButtonDown_ = false;
            clickPending_ = false;
            if (OnClick) OnClick();
        }
        leftButtonDown_ = false;
        break;
    case WM_LBUTTONDBLCLK:
        clickPending_ = false;
        dblClickSeen_ = true;
        if (OnDblClick) OnDblClick();
        break;
    case WM_RBUTTONDOWN:
        if (popupMenu_) {
            SetForegroundWindow(gHandler->hwnd());
            PopupAtCursor();
        }
        break;
    default:
        break;
    }
}

void TTrayIcon::clickTimerFired() {
    clickTimer_.setEnabled(false);
    if (!dblClickSeen_ && clickPending_) {
        clickPending_ = false;
        if (OnClick) OnClick();
    }
    dblClickSeen_ = false;
}

bool TTrayIcon::ownerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
    if (msg == WM_SIZE && wp == SIZE_MINIMIZED) {
        if (minimizeToTray_) SendToTray();
    } else if (msg == WM_SHOWWINDOW && wp && lp == 0) {
        SetForegroundWindow(owner_);
    } else if (msg != 0 && msg == taskbarCreatedMessage()) {
        // The shell has restarted: an icon that was showing must be added again.
        if (iconVisible_) AddIcon();
    }
    return false;
}

}  // namespace ui
