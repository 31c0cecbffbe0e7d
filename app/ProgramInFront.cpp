// Watching the foreground window, and naming its program.
#include "app/ProgramInFront.h"

#include <array>
#include <optional>
#include <string_view>

#include "scan/SystemFolders.h"
#include "win32/WidePath.h"

namespace app {

namespace {

ProgramInFront* gWatcher = nullptr;

// The taskbars, the overflow of the notification area and the desktop: where a click on the
// tray icon or beside it goes, never a program of the user's. (Wine shows the notification
// area in a window of its own where no taskbar holds it.)
bool isShellWindow(HWND window) {
    static constexpr std::array<std::string_view, 6> kClasses{
        "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "NotifyIconOverflowWindow", "Progman", "WorkerW",
        "__winex11_standalone_tray"};
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    char name[64] = "";
    const int n = GetClassNameA(window, name, sizeof name);
    for (std::string_view shell : kClasses)
        if (std::string_view(name, n > 0 ? static_cast<size_t>(n) : 0) == shell) return true;
    return false;
}

// A window of another program than this one, and not the shell's.
bool ofAnotherProgram(HWND window) {
    DWORD pid = 0;
    return window && IsWindow(window) && GetWindowThreadProcessId(window, &pid) && pid != GetCurrentProcessId() &&
           !isShellWindow(window);
}

}  // namespace

ProgramInFront::ProgramInFront() {
    gWatcher = this;
    hook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, &foregroundMoved, 0, 0,
                            WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
}

ProgramInFront::~ProgramInFront() {
    if (hook_) UnhookWinEvent(hook_);
    gWatcher = nullptr;
}

void CALLBACK ProgramInFront::foregroundMoved(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (gWatcher && object == OBJID_WINDOW && ofAnotherProgram(window)) gWatcher->last_ = window;
}

void ProgramInFront::notice() {
    HWND window = GetForegroundWindow();
    if (ofAnotherProgram(window)) last_ = window;
}

std::string ProgramInFront::fileName() const {
    HWND window = IsWindow(last_) ? last_ : GetForegroundWindow();
    if (!ofAnotherProgram(window)) return {};
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const std::optional<std::wstring> image = scan::imagePathOf(pid);
    if (!image) return {};
    const size_t slash = image->find_last_of(L"\\/");
    return win::narrow(slash == std::wstring::npos ? *image : image->substr(slash + 1));
}

}  // namespace app
