// The notification-area icon: adds, changes and removes the shell's icon, turns mouse actions
// on it into events and the popup menu, cycles through its pictures, and sends the main window
// to the tray and back.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/IconList.h"
#include "ui/LightTimer.h"
#include "ui/TrayIconRules.h"
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

// Every setter applies its effect at once, as the shell and the timers need it.
class TTrayIcon : private TrayMouseSink {
public:
    // `owner` is the window whose messages the component sees through `ownerMessage`: in the
    // program, the main window, which is also the application's top-level window.
    explicit TTrayIcon(HWND owner);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    // The steps after the owner has set the stored properties: the start-up event, the
    // icon brought in line with them, and the shell told which notifications to send.
    void loaded();

    // --- Properties ---
    // The list is watched: when it is destroyed the component lets go of it.
    void setIconList(const IconList* list);
    const IconList* iconList() const noexcept { return iconList_; }
    void setIconIndex(int index);
    int IconIndex() const noexcept { return iconIndex_; }
    // Copies `icon` in (the caller keeps its own).
    void setIcon(HICON icon);
    HICON Icon() const noexcept { return icon_.get(); }
    void setHint(const std::string& hint);
    const std::string& Hint() const noexcept { return hint_; }
    void setShowHint(bool show);
    bool ShowHint() const noexcept { return showHint_; }
    void setIconVisible(bool visible);
    bool IconVisible() const noexcept { return iconVisible_; }
    void setEnabled(bool enabled) noexcept { enabled_ = enabled; }
    bool Enabled() const noexcept { return enabled_; }
    // The menu stays the caller's; a menu destroyed meanwhile is let go of when next needed.
    // `autoPopup` false keeps the menu from opening on a click (PopupAtCursor still shows it).
    void setPopupMenu(HMENU menu, bool autoPopup = true) noexcept;
    HMENU PopupMenu() const noexcept { return popupMenu_; }
    void setLeftPopup(bool on) noexcept { leftPopup_ = on; }
    bool LeftPopup() const noexcept { return leftPopup_; }
    void setMinimizeToTray(bool on) noexcept { minimizeToTray_ = on; }
    bool MinimizeToTray() const noexcept { return minimizeToTray_; }
    void setCycleIcons(bool on);
    bool CycleIcons() const noexcept { return cycleIcons_; }
    // Milliseconds per cycle step; 0 keeps the cycle from running.
    void setCycleInterval(UINT interval);
    UINT CycleInterval() const noexcept { return cycleInterval_; }
    // Runs the 20 ms exit check that raises OnMouseEnter and OnMouseExit.
    void setWantEnterExitEvents(bool on);
    bool WantEnterExitEvents() const noexcept { return wantEnterExitEvents_; }

    // --- Operations ---
    bool AddIcon();
    bool ModifyIcon();
    // Shows the shell's balloon notice over the icon, through the record's balloon fields
    // (title and text cut to what they hold); the fields are cleared again at once, so that
    // no later change of the icon shows it a second time.
    bool ShowBalloon(const std::string& title, const std::string& text);
    bool DeleteIcon();
    void ShowMainForm();
    void HideMainForm();
    void HideTaskbarButton();
    void SendToTray();
    void PopupAtCursor();

    // --- Events ---
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    // The button, the keys and button held down, and the cursor's screen position when the
    // notification was handled.
    std::function<void(TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(TMouseButton, TShiftState, int x, int y)> OnMouseUp;
    std::function<void(TShiftState, int x, int y)> OnMouseMove;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseExit;
    // The index the cycle step is about to show.
    std::function<void(int NextIndex)> OnCycle;
    std::function<void()> OnMinimizeToTray;
    // Asked once, after loading: set the flag false to start with the main window hidden.
    std::function<void(bool& showMainForm)> OnStartup;
    // Just before the popup menu shows, and before the component takes the foreground for it:
    // the owner brings the menu's items up to date.
    std::function<void()> OnPopup;
    // The popup menu's chosen item, taken from the menu itself once it has closed. (A
    // WM_COMMAND would do as well for the owner, but any program can post one.)
    std::function<void(UINT command)> OnMenuCommand;
    // The user clicked the balloon notice.
    std::function<void()> OnBalloonClick;

    // --- The owner's side ---
    // The owner passes its messages here first; true when the message is consumed (its
    // result in `result`).
    bool ownerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // A mouse notification from the shell for this icon.
    void notify(UINT mouseMessage);

    // The registered number of "TaskbarCreated", or 0 where "comctl32.dll" is older than
    // 4.71 and the shell does not announce a re-created taskbar. Fixed for the process.
    static UINT taskbarCreatedMessage();
    // The most significant word of "comctl32.dll"'s file version (0 when unreadable).
    static DWORD comctl32Version();

    // What the component has sent the shell: the record, and the calls by message.
    const NotifyIconData& iconData() const noexcept { return iconData_; }
    unsigned shellCalls(DWORD message) const noexcept {
        return message < shellCalls_.size() ? shellCalls_[message] : 0;
    }
    DWORD lastShellCall() const noexcept { return lastShellCall_; }

private:
    // The component's reference on the process-wide hidden window, taken first and given
    // back last.
    class HandlerReference {
    public:
        explicit HandlerReference(TTrayIcon* icon);
        ~HandlerReference();
        HandlerReference(const HandlerReference&) = delete;
        HandlerReference& operator=(const HandlerReference&) = delete;
        HWND window() const noexcept;

    private:
        TTrayIcon* icon_;
    };

    void FillIconData();
    bool notifyShell(DWORD message);
    bool ownerIsWindow() const;
    HWND mainForm() const;
    HMENU livePopupMenu();
    void trackPopupMenu();
    void applicationMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool minimizeToTrayInstead(LRESULT& result);
    void cycleStep();

    // Raises `event` (when assigned) and answers whether the component survived it.
    template <typename... Params, typename... Args>
    bool raise(const std::function<void(Params...)>& event, Args&&... args) {
        std::weak_ptr<char> alive = life_;
        if (event) {
            auto copy = event;  // a handler may reassign the event while it runs
            copy(std::forward<Args>(args)...);
        }
        return !alive.expired();
    }

    // The mouse decisions' view of the component.
    bool enabled() const override { return enabled_; }
    bool wantsEnterExitEvents() const override { return wantEnterExitEvents_; }
    bool hasDblClickHandler() const override { return static_cast<bool>(OnDblClick); }
    bool leftPopup() const override { return leftPopup_; }
    bool autoPopupMenu() const override;
    bool clickTimerRunning() const override { return clickTimer_->Enabled(); }
    TShiftState keys() const override;
    CursorPoint cursor() const override;
    void startClickTimer() override;
    void stopClickTimer() override { clickTimer_->setEnabled(false); }
    bool mouseEnter() override { return raise(OnMouseEnter); }
    bool mouseExit() override { return raise(OnMouseExit); }
    bool mouseMove(TShiftState shift, CursorPoint at) override { return raise(OnMouseMove, shift, at.x, at.y); }
    bool mouseDown(TMouseButton b, TShiftState shift, CursorPoint at) override {
        return raise(OnMouseDown, b, shift, at.x, at.y);
    }
    bool mouseUp(TMouseButton b, TShiftState shift, CursorPoint at) override {
        return raise(OnMouseUp, b, shift, at.x, at.y);
    }
    bool click() override { return raise(OnClick); }
    bool dblClick() override { return raise(OnDblClick); }
    bool popup() override;
    bool clickDefaultItem() override;

    HandlerReference handler_;
    // Expires when the component is gone: what an event handler may have done.
    std::shared_ptr<char> life_ = std::make_shared<char>();
    HWND owner_;
    bool ownerHooked_ = false;
    NotifyIconData iconData_{};
    std::array<unsigned, 5> shellCalls_{};
    DWORD lastShellCall_ = 0;

    const IconList* iconList_ = nullptr;
    win::UniqueIcon icon_;
    std::string hint_;
    int iconIndex_ = 0;
    bool showHint_ = true;
    bool iconVisible_ = false;
    bool enabled_ = true;
    bool minimizeToTray_ = false;
    bool leftPopup_ = false;
    bool cycleIcons_ = false;
    UINT cycleInterval_ = 0;
    bool wantEnterExitEvents_ = false;
    HMENU popupMenu_ = nullptr;
    bool popupAutoPopup_ = true;

    TrayMouseState mouse_;
    bool startupPending_ = true;
    std::unique_ptr<TLightTimer> cycleTimer_;
    std::unique_ptr<TLightTimer> clickTimer_;
    std::unique_ptr<TLightTimer> exitTimer_;
};

}  // namespace ui
