// The notification-area icon and its shared hidden window.
#include "ui/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "ui/HiddenWindow.h"
#include "win32/Application.h"

namespace ui {

static_assert(traymsg::MouseMove == WM_MOUSEMOVE && traymsg::LButtonDown == WM_LBUTTONDOWN &&
              traymsg::LButtonUp == WM_LBUTTONUP && traymsg::LButtonDblClk == WM_LBUTTONDBLCLK &&
              traymsg::RButtonDown == WM_RBUTTONDOWN && traymsg::RButtonUp == WM_RBUTTONUP &&
              traymsg::MButtonDown == WM_MBUTTONDOWN && traymsg::MButtonUp == WM_MBUTTONUP);

namespace {

constexpr UINT kExitCheckInterval = 20;
// How long the shell shows a balloon notice (it may hold it longer while the user is away).
constexpr UINT kBalloonTimeoutMs = 10000;

LRESULT CALLBACK trayWindowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// One hidden window per process receives the shell's notifications for every tray icon.
struct TTrayIconHandler {
    HiddenWindow window{"TTrayIconHandler", &trayWindowProcedure};
    std::set<TTrayIcon*> icons;
};

TTrayIconHandler* gHandler = nullptr;
int gReferences = 0;

// A handler that outlives its components goes with the program's static objects.
struct HandlerFinalisation {
    ~HandlerFinalisation() { delete std::exchange(gHandler, nullptr); }
} gFinalisation;

LRESULT CALLBACK trayWindowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case TrayCallbackMessage: {
        if (!gHandler) return 0;
        // The identifier is a component's address; any process may post to this window, so
        // only the addresses of live components are honoured.
        TTrayIcon* target = nullptr;
        for (TTrayIcon* icon : gHandler->icons)
            if (reinterpret_cast<WPARAM>(icon) == wp) target = icon;
        // The events may free the component, the handler and this window: nothing of them
        // is touched afterwards.
        if (target) guardedHandling([target, lp] {
                target->notify(static_cast<UINT>(lp));
                return LRESULT{0};
            });
        return 0;
    }
    // The window lives as long as a component needs it, whatever another process sends it.
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY:
        return 1;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

DWORD readComctl32Version() {
    const char* file = "comctl32.dll";
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (size == 0) return 0;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file, 0, size, block.data())) return 0;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return static_cast<const VS_FIXEDFILEINFO*>(value)->dwFileVersionMS;
}

}  // namespace

// --- The shared window ------------------------------------------------------------------

TTrayIcon::HandlerReference::HandlerReference(TTrayIcon* icon) : icon_(icon) {
    if (gReferences == 0) gHandler = new TTrayIconHandler;
    ++gReferences;
    gHandler->icons.insert(icon_);
}

// A component that outlives the program's static objects finds the handler already gone.
TTrayIcon::HandlerReference::~HandlerReference() {
    if (!gHandler) return;
    gHandler->icons.erase(icon_);
    if (--gReferences == 0) delete std::exchange(gHandler, nullptr);
}

HWND TTrayIcon::HandlerReference::window() const noexcept { return gHandler ? gHandler->window.hwnd() : nullptr; }

DWORD TTrayIcon::comctl32Version() {
    static const DWORD version = readComctl32Version();
    return version;
}

UINT TTrayIcon::taskbarCreatedMessage() {
    static const UINT message =
        announcesTaskbarCreated(comctl32Version()) ? RegisterWindowMessageA("TaskbarCreated") : 0;
    return message;
}

// --- Life -------------------------------------------------------------------------------

TTrayIcon::TTrayIcon(HWND owner) : handler_(this), owner_(owner) {
    iconData_.cbSize = sizeof(NotifyIconData);
    iconData_.hWnd = handler_.window();
    iconData_.uID = static_cast<UINT>(reinterpret_cast<uintptr_t>(this));
    iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    iconData_.uCallbackMessage = TrayCallbackMessage;
    cycleTimer_ = std::make_unique<TLightTimer>();
    cycleTimer_->setOnTimer([this](TLightTimer&) { cycleStep(); });
    clickTimer_ = std::make_unique<TLightTimer>();
    clickTimer_->setOnTimer([this](TLightTimer&) { decideClick(mouse_, *this); });
    exitTimer_ = std::make_unique<TLightTimer>(kExitCheckInterval);
    exitTimer_->setOnTimer([this](TLightTimer&) { checkExit(mouse_, *this); });
    // The application's messages are seen through the owner's, the main window being the
    // application's top-level window; the message to watch for is settled now.
    taskbarCreatedMessage();
    ownerHooked_ = ownerIsWindow();
}

TTrayIcon::~TTrayIcon() {
    setIconVisible(false);
    cycleTimer_.reset();
    clickTimer_.reset();
    exitTimer_.reset();
    icon_.reset();
    if (iconList_) iconList_->removeFreeNotification(this);
    // From here the owner's messages pass by; the handler reference goes last.
    ownerHooked_ = false;
}

void TTrayIcon::loaded() {
    if (ownerIsWindow()) {
        bool showMainForm = true;
        if (!raise(OnStartup, showMainForm)) return;
        if (!showMainForm) {
            win::Application::setShowMainForm(false);
            HideMainForm();
        }
    }
    ModifyIcon();
    setIconVisible(iconVisible_);
    setCycleIcons(cycleIcons_);
    setWantEnterExitEvents(wantEnterExitEvents_);
    // Version 0: the notifications this component understands, a mouse message each.
    iconData_.uTimeoutOrVersion = 0;
    notifyShell(NIM_SETVERSION);
}

// --- Properties -------------------------------------------------------------------------

void TTrayIcon::setIconList(const IconList* list) {
    if (iconList_) iconList_->removeFreeNotification(this);
    iconList_ = list;
    if (iconList_) iconList_->addFreeNotification(this, [this] { setIconList(nullptr); });
    setIconIndex(0);
}

void TTrayIcon::setIconIndex(int index) {
    if (iconList_ && iconList_->count() > 0) {
        iconIndex_ = std::clamp(index, 0, iconList_->count() - 1);
        icon_.reset(CopyIcon(iconList_->icon(iconIndex_)));
    } else {
        iconIndex_ = 0;
    }
    ModifyIcon();
}

void TTrayIcon::setIcon(HICON icon) {
    icon_.reset(icon ? CopyIcon(icon) : nullptr);
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

void TTrayIcon::setPopupMenu(HMENU menu, bool autoPopup) noexcept {
    popupMenu_ = menu;
    popupAutoPopup_ = autoPopup;
}

HMENU TTrayIcon::livePopupMenu() {
    if (popupMenu_ && !IsMenu(popupMenu_)) popupMenu_ = nullptr;
    return popupMenu_;
}

void TTrayIcon::setCycleIcons(bool on) {
    cycleIcons_ = on;
    if (on) {
        setIconIndex(0);
        cycleTimer_->setInterval(cycleInterval_);
        // An interval of 0 is refused here: nothing cycles until a real interval is set.
        cycleTimer_->setEnabled(true);
    } else {
        cycleTimer_->setEnabled(false);
    }
}

void TTrayIcon::setCycleInterval(UINT interval) {
    if (interval == cycleInterval_) return;
    cycleInterval_ = interval;
    setCycleIcons(cycleIcons_);
}

void TTrayIcon::setWantEnterExitEvents(bool on) {
    wantEnterExitEvents_ = on;
    exitTimer_->setEnabled(on);
}

// --- The shell --------------------------------------------------------------------------

void TTrayIcon::FillIconData() {
    iconData_.hIcon = icon_.get();
    std::memset(iconData_.szTip, 0, sizeof iconData_.szTip);
    if (!hint_.empty() && showHint_) {
        size_t n = std::min(hint_.size(), sizeof iconData_.szTip - 1);
        std::memcpy(iconData_.szTip, hint_.data(), n);
    }
}

// The shell's answer is passed back but nobody acts on it: adding an icon that is there, or
// changing one that is not, is simply without effect.
bool TTrayIcon::notifyShell(DWORD message) {
    if (message < shellCalls_.size()) ++shellCalls_[message];
    lastShellCall_ = message;
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

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    FillIconData();
    auto put = [](char* field, size_t size, const std::string& value) {
        std::memset(field, 0, size);
        std::memcpy(field, value.data(), std::min(value.size(), size - 1));
    };
    put(iconData_.szInfo, sizeof iconData_.szInfo, text);
    put(iconData_.szInfoTitle, sizeof iconData_.szInfoTitle, title);
    iconData_.dwInfoFlags = NIIF_INFO;
    const UINT version = iconData_.uTimeoutOrVersion;
    iconData_.uTimeoutOrVersion = kBalloonTimeoutMs;
    iconData_.uFlags |= NIF_INFO;
    const bool shown = notifyShell(NIM_MODIFY);
    iconData_.uFlags &= ~static_cast<UINT>(NIF_INFO);
    iconData_.uTimeoutOrVersion = version;
    return shown;
}

// --- The main window --------------------------------------------------------------------

bool TTrayIcon::ownerIsWindow() const { return owner_ && IsWindow(owner_); }

HWND TTrayIcon::mainForm() const {
    HWND main = win::Application::mainWindow();
    return main && IsWindow(main) ? main : nullptr;
}

// The program has no application window apart from its main window, so restoring the
// application and un-minimising the main window are the one restore.
void TTrayIcon::ShowMainForm() {
    HWND main = mainForm();
    if (!ownerIsWindow() || !main) return;
    if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
    ShowWindow(main, SW_SHOW);
    SetForegroundWindow(main);
}

void TTrayIcon::HideMainForm() {
    HWND main = mainForm();
    if (!ownerIsWindow() || !main) return;
    ShowWindow(main, SW_HIDE);
    HideTaskbarButton();
}

// The window that owns the taskbar button is the main window itself: hiding the main form
// has already hidden it, and this only matters when the form is left on screen (a start in
// the tray asked for by OnStartup).
void TTrayIcon::HideTaskbarButton() {
    HWND app = mainForm();
    if (app && IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}

void TTrayIcon::SendToTray() {
    HideMainForm();
    setIconVisible(true);
}

// --- Menu -------------------------------------------------------------------------------

void TTrayIcon::PopupAtCursor() {
    if (raise(OnPopup)) trackPopupMenu();
}

void TTrayIcon::trackPopupMenu() {
    POINT pt;
    if (!GetCursorPos(&pt) || !livePopupMenu()) return;
    std::weak_ptr<char> alive = life_;
    HWND handler = handler_.window();
    // The menu closes when the user clicks elsewhere only if its window is the foreground
    // window's; and what is waiting is handled before the modal loop starts.
    SetForegroundWindow(handler);
    win::Application::processMessages();
    if (alive.expired() || !livePopupMenu()) return;
    UINT command = 0;
    {
        win::Application::ModalLoop loop;
        command = static_cast<UINT>(
            TrackPopupMenu(popupMenu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, handler, nullptr));
    }
    // The menu's loop dispatches the program's messages too; it may have freed the component.
    if (alive.expired() || !ownerIsWindow()) return;
    // The null message makes the owner's queue run once the menu has closed.
    PostMessageA(owner_, WM_NULL, 0, 0);
    if (command) raise(OnMenuCommand, command);
}

bool TTrayIcon::autoPopupMenu() const {
    return popupMenu_ && popupAutoPopup_ && IsMenu(popupMenu_);
}

bool TTrayIcon::popup() {
    std::weak_ptr<char> alive = life_;
    if (!raise(OnPopup)) return false;
    SetForegroundWindow(handler_.window());
    trackPopupMenu();
    return !alive.expired();
}

// Of the top-level items marked as default the lowest-placed one is clicked, as the menu's
// command; a disabled item, a separator or a submenu's parent has no command.
bool TTrayIcon::clickDefaultItem() {
    HMENU menu = livePopupMenu();
    if (!menu || !ownerIsWindow()) return true;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item) || !(item.fState & MFS_DEFAULT)) continue;
        if ((item.fState & MFS_DISABLED) || (item.fType & MFT_SEPARATOR) || item.hSubMenu) return true;
        return raise(OnMenuCommand, item.wID);
    }
    return true;
}

// --- Mouse ------------------------------------------------------------------------------

void TTrayIcon::notify(UINT mouseMessage) {
    if (mouseMessage == NIN_BALLOONUSERCLICK) {
        raise(OnBalloonClick);
        return;
    }
    dispatchTrayMouse(mouseMessage, mouse_, *this);
}

TShiftState TTrayIcon::keys() const {
    return shiftStateOf(GetAsyncKeyState(VK_SHIFT) < 0, GetAsyncKeyState(VK_MENU) < 0,
                        GetAsyncKeyState(VK_CONTROL) < 0);
}

// Where the cursor cannot be read (another desktop has the input), it counts as where it was
// last seen.
CursorPoint TTrayIcon::cursor() const {
    POINT pt;
    if (!GetCursorPos(&pt)) return mouse_.last;
    return {pt.x, pt.y};
}

void TTrayIcon::startClickTimer() {
    clickTimer_->setInterval(GetDoubleClickTime());
    clickTimer_->setEnabled(true);
}

// --- Cycling ----------------------------------------------------------------------------

void TTrayIcon::cycleStep() {
    int count = iconList_ ? iconList_->count() : 0;
    if (iconIndex_ < count) setIcon(iconList_->icon(iconIndex_));
    if (!raise(OnCycle, nextCycleIndex(iconIndex_, count))) return;
    count = iconList_ ? iconList_->count() : 0;
    setIconIndex(nextCycleIndex(iconIndex_, count));
}

// --- The owner's messages ---------------------------------------------------------------

bool TTrayIcon::ownerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (!ownerHooked_) return false;
    if (owner_ == mainForm()) applicationMessage(msg, wp, lp);
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wp && lp == 0) {
            if (HWND app = mainForm()) SetForegroundWindow(app);
            SetForegroundWindow(owner_);
            return false;
        }
        if (!wp && lp == SW_PARENTCLOSING && !win::Application::terminated()) return minimizeToTrayInstead(result);
        return false;
    case WM_SYSCOMMAND:
        // The low four bits of a system command are the system's own.
        if ((wp & 0xFFF0) == SC_MINIMIZE) return minimizeToTrayInstead(result);
        return false;
    default:
        return false;
    }
}

// The owner is sent to the tray instead of being minimised or hidden, when the program
// handles OnMinimizeToTray; otherwise the owner goes on as usual.
bool TTrayIcon::minimizeToTrayInstead(LRESULT& result) {
    if (!minimizeToTray_ || !OnMinimizeToTray) return false;
    if (raise(OnMinimizeToTray)) SendToTray();
    result = 1;
    return true;
}

// The application window's messages; none is consumed.
void TTrayIcon::applicationMessage(UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_SIZE && wp == SIZE_MINIMIZED) {
        if (minimizeToTray_) SendToTray();
    } else if (msg == WM_WINDOWPOSCHANGED) {
        HWND main = mainForm();
        if (!startupPending_ || !main) return;
        // Only a multiple-document frame shows itself before OnStartup could be asked in
        // loaded(); the program's main window is none.
        if (FindWindowExA(main, nullptr, "MDICLIENT", nullptr)) {
            bool showMainForm = true;
            if (!raise(OnStartup, showMainForm)) return;
            if (!showMainForm) HideTaskbarButton();
        }
        startupPending_ = false;
    } else if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_RESTORE) {
        HWND main = mainForm();
        if (!main) return;
        if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
        ShowWindow(main, SW_SHOW);
    } else if (msg != 0 && msg == taskbarCreatedMessage()) {
        // The shell has restarted: an icon that was showing must be added again.
        if (iconVisible_) AddIcon();
    }
}

}  // namespace ui
