// Windowless buttons and the routing of the host window's mouse messages to them.
#include "ui/SkinButton.h"

#include <commctrl.h>
#include <windowsx.h>

namespace ui {

TSkinButton::TSkinButton(int left, int top, int width, int height, std::string hint)
    : bounds_{left, top, left + width, top + height}, hint_(std::move(hint)) {}

void TSkinButton::mouseDown() {
    if (Enabled) heldDown_ = true;
}

bool TSkinButton::mouseUp(POINT pt) {
    if (!heldDown_) return false;
    heldDown_ = false;
    return contains(pt);
}

SkinButtonHost::SkinButtonHost(HWND host) : host_(host) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, host,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
}

SkinButtonHost::~SkinButtonHost() {
    if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

void SkinButtonHost::add(TSkinButton& button) {
    buttons_.push_back(&button);
    if (!tooltip_) return;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = host_;
    ti.uId = buttons_.size();
    ti.rect = button.bounds();
    ti.lpszText = const_cast<char*>(button.hint().c_str());
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

TSkinButton* SkinButtonHost::buttonAt(POINT pt) const {
    for (TSkinButton* b : buttons_)
        if (b->contains(pt)) return b;
    return nullptr;
}

bool SkinButtonHost::mouseMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TSkinButton* b = buttonAt(pt);
        if (!b) return false;
        b->mouseDown();
        if (b->heldDown()) {
            captured_ = b;
            SetCapture(host_);
        }
        result = 0;
        return true;
    }
    case WM_LBUTTONUP: {
        TSkinButton* b = captured_;
        if (!b) return false;
        captured_ = nullptr;
        bool click = b->mouseUp(pt);
        ReleaseCapture();
        // Raised last: a click may open a modal dialog.
        if (click && b->OnClick) b->OnClick();
        result = 0;
        return true;
    }
    case WM_CAPTURECHANGED:
        if (captured_ && reinterpret_cast<HWND>(lp) != host_) {
            captured_->mouseUp(POINT{-1, -1});
            captured_ = nullptr;
        }
        return false;
    case WM_SETCURSOR: {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(host_, &cursor);
        if (LOWORD(lp) == HTCLIENT && buttonAt(cursor)) {
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

}  // namespace ui
