// Modal showing of dialogs that live for the whole run.
#include "win32/Dialog.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "win32/Application.h"
#include "win32/Win32Error.h"
#include "win32/Window.h"

namespace win {

Dialog::~Dialog() {
    if (hwnd_) destroyWindow(hwnd_);
}

void Dialog::prepare(DialogTemplate layout, HWND owner) {
    layout_ = std::move(layout);
    owner_ = owner;
}

HWND Dialog::hwnd() const {
    if (hwnd_ || !layout_) return hwnd_;
    HWND h = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), layout_->get(), owner_, &Dialog::trampoline,
                                        reinterpret_cast<LPARAM>(const_cast<Dialog*>(this)));
    if (!h) raiseLastError("Cannot create dialog");
    // Made once: a dialog destroyed at the program's end is not made again.
    layout_.reset();
    return hwnd_;
}

namespace {

// The windows a modal dialog takes the user away from: its owner, and every other visible,
// enabled top-level window of this thread, such as the modal dialog it was opened from.
struct Others {
    HWND dialog;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectOther(HWND w, LPARAM lp) {
    auto* others = reinterpret_cast<Others*>(lp);
    if (w != others->dialog && IsWindowVisible(w) && IsWindowEnabled(w) &&
        std::find(others->windows.begin(), others->windows.end(), w) == others->windows.end())
        others->windows.push_back(w);
    return TRUE;
}

std::vector<HWND> disableOthers(HWND dialog, HWND owner) {
    Others others{dialog, {}};
    if (owner && IsWindowEnabled(owner)) others.windows.push_back(owner);
    EnumThreadWindows(GetCurrentThreadId(), &collectOther, reinterpret_cast<LPARAM>(&others));
    for (HWND w : others.windows) EnableWindow(w, FALSE);
    return others.windows;
}

}  // namespace

int Dialog::showModal() {
    hwnd();
    Application::ModalLoop loop;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    HWND previous = GetActiveWindow();
    modalResult_ = 0;
    showing_ = true;
    centreOverOwner();
    std::vector<HWND> disabled = disableOthers(hwnd_, owner);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    MSG msg;
    while (modalResult_ == 0) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: leave the quit message for the outer loop.
            PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
            modalResult_ = IDCANCEL;
            break;
        }
        if (!IsDialogMessageA(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Enabled before this dialog hides, so that the system never activates some other
    // program's window in between.
    for (HWND w : disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    // Back to where the user was: the dialog this one was opened from, or the owner.
    if (previous && previous != hwnd_ && IsWindow(previous) && IsWindowVisible(previous))
        SetActiveWindow(previous);
    else if (owner && IsWindowVisible(owner))
        SetActiveWindow(owner);
    showing_ = false;
    return modalResult_;
}

void Dialog::command(int id, int code) {
    if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL)) close(id);
}

INT_PTR Dialog::handle(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        initialize();
        return TRUE;
    case WM_COMMAND:
        command(LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_CLOSE:
        close(IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

std::string Dialog::itemText(int id) const {
    HWND h = item(id);
    int len = GetWindowTextLengthA(h);
    std::vector<char> buffer(static_cast<size_t>(len) + 1);
    int got = GetWindowTextA(h, buffer.data(), len + 1);
    return std::string(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void Dialog::centreOverOwner() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    RECT dialog{}, area{};
    GetWindowRect(hwnd_, &dialog);
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    int w = dialog.right - dialog.left, h = dialog.bottom - dialog.top;
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK Dialog::trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lp);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    // Handled here, so that the dialog manager does not tear down its own state either.
    if ((msg == WM_DESTROY || msg == WM_NCDESTROY) && !destroyingWindows()) return TRUE;
    INT_PTR result = FALSE;
    try {
        result = self->handle(msg, wp, lp);
    } catch (const std::exception& e) {
        Application::showException(e);
        result = TRUE;
    }
    if (msg == WM_NCDESTROY) self->hwnd_ = nullptr;
    return result;
}

}  // namespace win
