// The about box's layout in pixels, its pictures and its clicks.
#include "app/Abouts.h"

#include "app/Shell.h"
#include "app/resource.h"
#include "scan/SecretText.h"

namespace app {

namespace {

constexpr int kClientWidth = 470;
constexpr int kClientHeight = 248;

win::DialogTemplate layout() {
    // Placed in pixels when the box is created; the dialog units here only make the controls.
    win::DialogTemplate t("About Ombrix", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                          WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 300, 160);
    t.control(TAbouts::Panel1, "STATIC", "", 0, 0, 10, 10, SS_LEFT | WS_GROUP);
    t.control(TAbouts::Label1, "STATIC", "Ombrix ", 0, 0, 10, 10, SS_LEFT);
    t.control(TAbouts::Label3, "STATIC", "Visit the Ombrix web site for news and updates", 0, 0, 10, 10,
              SS_LEFT | SS_NOTIFY);
    t.control(TAbouts::GroupBox1, "BUTTON", "", 0, 0, 10, 10, BS_GROUPBOX);
    t.control(TAbouts::Image1, "STATIC", "", 0, 0, 10, 10, SS_OWNERDRAW | SS_NOTIFY);
    t.button(TAbouts::OKBtn, "OK", 0, 0, 10, 10, BS_OWNERDRAW | BS_DEFPUSHBUTTON | WS_TABSTOP);
    return t;
}

struct Place {
    int id, left, top, width, height;
};

constexpr Place kPlaces[] = {
    {TAbouts::Panel1, 0, 0, kClientWidth, kClientHeight},
    {TAbouts::Label1, 51, 56, 200, 20},
    {TAbouts::Label3, 51, 159, 290, 20},
    {TAbouts::GroupBox1, 356, 10, 93, 194},
    {TAbouts::Image1, 358, 18, 89, 184},
    {TAbouts::OKBtn, 355, 217, 93, 25},
};

// A resource's bytes, or nothing.
std::pair<const uint8_t*, size_t> resourceBytes(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!found) return {nullptr, 0};
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return {nullptr, 0};
    return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(module, found)};
}

}  // namespace

TAbouts::TAbouts(HWND owner) { prepare(layout(), owner); }

void TAbouts::showOrRaise() {
    if (showing()) {
        SetForegroundWindow(hwnd());
        return;
    }
    // The box lives hidden for the whole run and most runs never show it: its pictures are
    // decoded at its first showing, not at start.
    if (!picturesLoaded_) {
        loadPictures();
        picturesLoaded_ = true;
    }
    showModal();
}

void TAbouts::initialize() {
    font_.reset(CreateFontA(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "System"));
    okFont_.reset(CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial"));
    placeControls();
}

void TAbouts::placeControls() {
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(hwnd(), GWL_EXSTYLE)));
    SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Place& p : kPlaces) {
        HWND control = item(p.id);
        MoveWindow(control, p.left, p.top, p.width, p.height, FALSE);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(p.id == OKBtn ? okFont_.get() : font_.get()),
                     FALSE);
    }
    // The panel lies under everything else.
    SetWindowPos(item(Panel1), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// A picture that cannot be decoded leaves the box without it; the box still works.
void TAbouts::loadPictures() {
    auto [data, size] = resourceBytes(IDR_ABOUT_PICTURE);
    if (data) {
        try {
            picture_ = ui::decodeJpeg(data, size);
        } catch (const std::exception&) {
            picture_ = {};
        }
    }
    okGlyph_.reset(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_OK_GLYPH), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION));
}

void TAbouts::command(int id, int code) {
    switch (id) {
    case Image1:
    case Label3:
        if (code == STN_CLICKED) Image1Click();
        break;
    // An owner-drawn button also tells of focus coming and going (BN_SETFOCUS when the box
    // is shown): only a click closes.
    case OKBtn:
        if (code == BN_CLICKED) OKBtnClick();
        break;
    case IDCANCEL: close(IDCANCEL); break;
    default: break;
    }
}

// The picture and the text line open the web site; the box stays open.
void TAbouts::Image1Click() {
    siteAddress = scan::siteAddress();
    openInShell(siteAddress);
}

INT_PTR TAbouts::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETCURSOR: {
        HWND over = reinterpret_cast<HWND>(wp);
        if (over == item(Image1) || over == item(Label3)) {
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
            SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (d.CtlID == Image1) drawPicture(d);
        if (d.CtlID == OKBtn) drawOkButton(d);
        return TRUE;
    }
    default: break;
    }
    return Dialog::handle(msg, wp, lp);
}

void TAbouts::drawPicture(const DRAWITEMSTRUCT& d) const {
    FillRect(d.hDC, &d.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!picture_.bitmap) return;
    HDC memory = CreateCompatibleDC(d.hDC);
    HGDIOBJ old = SelectObject(memory, picture_.bitmap.get());
    BitBlt(d.hDC, 0, 0, picture_.width, picture_.height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

// A push button face, the glyph's cell for the state (enabled, or the greyed cell), then
// the caption beside it.
void TAbouts::drawOkButton(const DRAWITEMSTRUCT& d) const {
    RECT r = d.rcItem;
    const bool pressed = (d.itemState & ODS_SELECTED) != 0;
    const bool disabled = (d.itemState & ODS_DISABLED) != 0;
    DrawFrameControl(d.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    int shift = pressed ? 1 : 0;
    int textLeft = r.left;
    BITMAP info{};
    if (okGlyph_ && GetObjectA(okGlyph_.get(), sizeof info, &info)) {
        const int cell = info.bmWidth / 2;
        HDC memory = CreateCompatibleDC(d.hDC);
        HGDIOBJ old = SelectObject(memory, okGlyph_.get());
        const int x = r.left + 16 + shift;
        const int y = (r.top + r.bottom - info.bmHeight) / 2 + shift;
        // The glyph's bottom-left pixel is its transparent colour.
        COLORREF transparent = GetPixel(memory, 0, info.bmHeight - 1);
        TransparentBlt(d.hDC, x, y, cell, info.bmHeight, memory, disabled ? cell : 0, 0, cell, info.bmHeight,
                       transparent);
        SelectObject(memory, old);
        DeleteDC(memory);
        textLeft = x + cell;
    }
    RECT text{textLeft + shift, r.top + shift, r.right + shift, r.bottom + shift};
    SetBkMode(d.hDC, TRANSPARENT);
    SetTextColor(d.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    HGDIOBJ oldFont = SelectObject(d.hDC, okFont_.get());
    DrawTextA(d.hDC, "OK", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(d.hDC, oldFont);
    if (d.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(d.hDC, &focus);
    }
}

}  // namespace app
