// Windowless image buttons, their shared cache of prepared cell images, and the routing of
// the host window's messages to them.
#include "ui/SkinButton.h"

#include <windowsx.h>

#include <map>
#include <utility>

#include "ui/CommonControls.h"

namespace ui {

// One image list of the shared cache: the prepared cells of every button whose cells have
// this size. Images of a button that let its glyph go stay in the list until the list
// itself goes, which is when no button holds it any more.
struct GlyphCacheList {
    GlyphCacheList(int w, int h) : list(comctl::imageListCreate(w, h, ILC_COLOR24 | ILC_MASK, 4, 4)) {}
    ~GlyphCacheList() {
        if (list) comctl::imageListDestroy(list);
    }
    GlyphCacheList(const GlyphCacheList&) = delete;
    GlyphCacheList& operator=(const GlyphCacheList&) = delete;
    HIMAGELIST list;
};

namespace {

class GlyphCache {
public:
    std::shared_ptr<GlyphCacheList> listFor(int w, int h) {
        std::weak_ptr<GlyphCacheList>& slot = lists_[{w, h}];
        std::shared_ptr<GlyphCacheList> list = slot.lock();
        if (!list) {
            list = std::make_shared<GlyphCacheList>(w, h);
            slot = list;
        }
        return list;
    }
    // Forgets the lists no button holds; answers whether any is left.
    bool prune() {
        for (auto it = lists_.begin(); it != lists_.end();)
            it = it->second.expired() ? lists_.erase(it) : std::next(it);
        return !lists_.empty();
    }

private:
    std::map<std::pair<int, int>, std::weak_ptr<GlyphCacheList>> lists_;
};

std::unique_ptr<GlyphCache>& glyphCache() {
    static std::unique_ptr<GlyphCache> cache;
    return cache;
}

// 32-bit DIB pixels (0x00RRGGBB) and COLORREF (0x00BBGGRR) order their bytes oppositely.
COLORREF colorOf(uint32_t pixel) noexcept {
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}
uint32_t pixelOf(COLORREF c) noexcept {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

BITMAPINFO topDown32(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

TMouseButtonKind kindOf(UINT msg) {
    switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP: return mbRightButton;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP: return mbMiddleButton;
    default: return mbLeftButton;
    }
}

}  // namespace

// --- TSkinButton ----------------------------------------------------------------------

TSkinButton::TSkinButton(int left, int top, int width, int height, std::string hint)
    : bounds_{left, top, left + width, top + height}, hint_(std::move(hint)) {
    state_.width = width;
    state_.height = height;
    if (!glyphCache()) glyphCache() = std::make_unique<GlyphCache>();
}

TSkinButton::~TSkinButton() {
    if (host_) host_->remove(*this);
    dropCells();
}

void TSkinButton::invalidate() const {
    if (host_ && bounds_.right > bounds_.left && bounds_.bottom > bounds_.top)
        InvalidateRect(host_->window(), &bounds_, FALSE);
}

void TSkinButton::setGlyph(HBITMAP bitmap) {
    dropCells();
    pixels_.clear();
    glyphWidth_ = glyphHeight_ = 0;
    transparent_ = RGB(128, 128, 0);
    BITMAP info{};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) && info.bmWidth > 0 && info.bmHeight > 0) {
        const int w = info.bmWidth, h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
        BITMAPINFO bi = topDown32(w, h);
        HDC screen = GetDC(nullptr);
        const int rows = GetDIBits(screen, bitmap, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        if (rows == h) {
            for (uint32_t& p : pixels) p &= 0x00FFFFFF;
            pixels_ = std::move(pixels);
            glyphWidth_ = w;
            glyphHeight_ = h;
            transparent_ = colorOf(pixels_[static_cast<size_t>(h - 1) * w]);
            prepareCells();
        }
    }
    invalidate();
}

void TSkinButton::setNumGlyphs(int n) {
    n = clampNumGlyphs(n);
    if (n == numGlyphs_) return;
    numGlyphs_ = n;
    dropCells();
    prepareCells();
    invalidate();
}

bool TSkinButton::visibleGlyphPixel(int x, int y) const noexcept {
    if (!hasGlyph() || x < 0 || y < 0 || x >= glyphWidth_ || y >= glyphHeight_) return false;
    const uint32_t bottomLeft = pixels_[static_cast<size_t>(glyphHeight_ - 1) * glyphWidth_];
    return pixels_[static_cast<size_t>(y) * glyphWidth_ + x] != bottomLeft;
}

void TSkinButton::dropCells() {
    cells_.reset();
    for (int& i : cellIndex_) i = -1;
    // The cache goes with its last list.
    if (glyphCache() && !glyphCache()->prune()) glyphCache().reset();
}

// One cell of the glyph as a bitmap of its own; the greyed cell keeps cell 0's outline in
// the system's shadow colour over a highlight one pixel down and right.
HBITMAP TSkinButton::cellBitmap(HDC screen, int cell, bool greyed) const {
    const int w = glyphWidth_ / numGlyphs_, h = glyphHeight_;
    BITMAPINFO bi = topDown32(w, h);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) return bmp;
    auto* out = static_cast<uint32_t*>(bits);
    const uint32_t clear = pixelOf(transparent_);
    auto source = [&](int x, int y) { return pixels_[static_cast<size_t>(y) * glyphWidth_ + cell * w + x]; };
    if (!greyed) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) out[y * w + x] = source(x, y);
        return bmp;
    }
    const uint32_t shadow = pixelOf(GetSysColor(COLOR_BTNSHADOW));
    const uint32_t light = pixelOf(GetSysColor(COLOR_BTNHIGHLIGHT));
    for (int i = 0; i < w * h; ++i) out[i] = clear;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (source(x, y) != clear && x + 1 < w && y + 1 < h) out[(y + 1) * w + x + 1] = light;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (source(x, y) != clear) out[y * w + x] = shadow;
    // A shadow or highlight that happens to be the transparent colour would vanish.
    return bmp;
}

void TSkinButton::prepareCells() {
    if (!hasGlyph() || glyphWidth_ / numGlyphs_ == 0) return;
    if (!glyphCache()) glyphCache() = std::make_unique<GlyphCache>();
    cells_ = glyphCache()->listFor(glyphWidth_ / numGlyphs_, glyphHeight_);
    if (!cells_->list) return;
    HDC screen = GetDC(nullptr);
    std::map<std::pair<int, bool>, int> made;
    for (int s = dsUp; s <= dsHover; ++s) {
        const GlyphCell c = glyphCellFor(static_cast<ButtonDrawState>(s), numGlyphs_);
        auto found = made.find({c.cell, c.greyed});
        if (found != made.end()) {
            cellIndex_[s] = found->second;
            continue;
        }
        HBITMAP bmp = cellBitmap(screen, c.cell, c.greyed);
        cellIndex_[s] = bmp ? comctl::imageListAddMasked(cells_->list, bmp, transparent_) : -1;
        if (bmp) DeleteObject(bmp);
        made[{c.cell, c.greyed}] = cellIndex_[s];
    }
    ReleaseDC(nullptr, screen);
}

void TSkinButton::setCaption(std::string caption) {
    caption_ = std::move(caption);
    invalidate();
}

void TSkinButton::setFont(HFONT font) {
    font_ = font;
    invalidate();
}

void TSkinButton::setLayout(TButtonLayout layout) {
    layout_ = layout;
    invalidate();
}

bool TSkinButton::setMargin(int margin) {
    if (margin < -1) return false;
    margin_ = margin;
    invalidate();
    return true;
}

void TSkinButton::setSpacing(int spacing) {
    spacing_ = spacing;
    invalidate();
}

void TSkinButton::setEnabled(bool enabled) {
    if (enabled == state_.enabled) return;
    state_.enabled = enabled;
    state_.enabledChanged();
    if (host_) {
        if (!enabled && host_->captured_ == this) {
            host_->captured_ = nullptr;
            if (GetCapture() == host_->window()) ReleaseCapture();
        }
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(host_->window(), &cursor);
        host_->updateHover(*this, cursor);
    }
    invalidate();
}

void TSkinButton::setDown(bool down) {
    if (host_) {
        host_->setDown(*this, down);
        return;
    }
    if (state_.setDown(down)) invalidate();
}

void TSkinButton::click() {
    if (OnClick) OnClick();
}

void TSkinButton::paint(HDC dc) {
    const ButtonDrawState state = state_.settleForPaint();
    if (!hasGlyph() && caption_.empty()) return;
    const int w = bounds_.right - bounds_.left, h = bounds_.bottom - bounds_.top;
    if (w <= 0 || h <= 0) return;

    HFONT font = font_ ? font_
                       : host_ ? reinterpret_cast<HFONT>(SendMessageA(host_->window(), WM_GETFONT, 0, 0))
                               : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ oldFont = SelectObject(dc, font);

    SIZE glyph{hasGlyph() ? glyphWidth_ / numGlyphs_ : 0, hasGlyph() ? glyphHeight_ : 0};
    RECT text{0, 0, 0, 0};
    if (!caption_.empty()) DrawTextA(dc, caption_.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE);
    const SIZE t{text.right - text.left, text.bottom - text.top};
    const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    const int spacing = glyph.cx == 0 || t.cx == 0 ? 0 : spacing_;
    const int total = horizontal ? glyph.cx + spacing + t.cx : glyph.cy + spacing + t.cy;
    const int margin = margin_ == -1 ? ((horizontal ? w : h) - total) / 2 : margin_;
    POINT g{(w - glyph.cx) / 2, (h - glyph.cy) / 2}, c{(w - t.cx) / 2, (h - t.cy) / 2};
    switch (layout_) {
    case blGlyphLeft:
        g.x = margin;
        c.x = g.x + glyph.cx + spacing;
        break;
    case blGlyphRight:
        g.x = w - margin - glyph.cx;
        c.x = g.x - spacing - t.cx;
        break;
    case blGlyphTop:
        g.y = margin;
        c.y = g.y + glyph.cy + spacing;
        break;
    case blGlyphBottom:
        g.y = h - margin - glyph.cy;
        c.y = g.y - spacing - t.cy;
        break;
    }

    if (cells_ && cells_->list && cellIndex_[state] >= 0)
        comctl::imageListDraw(cells_->list, cellIndex_[state], dc, bounds_.left + g.x, bounds_.top + g.y,
                              ILD_TRANSPARENT);
    if (!caption_.empty()) {
        SetBkMode(dc, TRANSPARENT);
        RECT r{bounds_.left + c.x, bounds_.top + c.y, bounds_.left + c.x + t.cx, bounds_.top + c.y + t.cy};
        if (state == dsDisabled) {
            OffsetRect(&r, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextA(dc, caption_.c_str(), -1, &r, DT_SINGLELINE);
            OffsetRect(&r, -1, -1);
            SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        } else {
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        }
        DrawTextA(dc, caption_.c_str(), -1, &r, DT_SINGLELINE);
    }
    SelectObject(dc, oldFont);
}

// --- SkinButtonHost -------------------------------------------------------------------

SkinButtonHost::SkinButtonHost(HWND host) : host_(host) {}

// The tips are made when the mouse first comes over the window: a window that is never
// pointed at never needs them.
void SkinButtonHost::makeTips() {
    if (tipsMade_) return;
    tipsMade_ = true;
    if (!comctl::ready()) return;
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, host_,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    for (TSkinButton* b : buttons_) addTip(*b);
}

SkinButtonHost::~SkinButtonHost() {
    for (TSkinButton* b : buttons_) b->host_ = nullptr;
    if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

void SkinButtonHost::add(TSkinButton& button) {
    buttons_.push_back(&button);
    button.host_ = this;
    group_.add(button.state_);
    addTip(button);
}

void SkinButtonHost::addTip(TSkinButton& button) {
    const RECT& r = button.bounds();
    // A button nobody can reach needs no tip.
    if (!tooltip_ || button.toolId_ || !button.ShowHint || button.hint().empty() || r.right <= r.left ||
        r.bottom <= r.top)
        return;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = host_;
    ti.uId = nextToolId_++;
    ti.rect = r;
    ti.lpszText = const_cast<char*>(button.hint().c_str());
    if (SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti))) button.toolId_ = ti.uId;
}

void SkinButtonHost::remove(TSkinButton& button) {
    std::erase(buttons_, &button);
    group_.remove(button.state_);
    if (captured_ == &button) {
        captured_ = nullptr;
        if (GetCapture() == host_) ReleaseCapture();
    }
    if (hovered_ == &button) hovered_ = nullptr;
    if (button.toolId_ && tooltip_ && IsWindow(tooltip_)) {
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V1_SIZE;
        ti.hwnd = host_;
        ti.uId = button.toolId_;
        SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    button.toolId_ = 0;
    button.host_ = nullptr;
}

TSkinButton* SkinButtonHost::buttonAt(POINT pt) const {
    // The last added lies on top.
    for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it)
        if ((*it)->contains(pt)) return *it;
    return nullptr;
}

TSkinButton* SkinButtonHost::byState(const SkinButtonState* s) const {
    for (TSkinButton* b : buttons_)
        if (&b->state_ == s) return b;
    return nullptr;
}

void SkinButtonHost::setDown(TSkinButton& button, bool down) {
    for (SkinButtonState* s : group_.setDown(button.state_, down))
        if (TSkinButton* b = byState(s)) b->invalidate();
}

void SkinButtonHost::updateHover(TSkinButton& button, POINT pt) {
    const POINT rel = button.relative(pt);
    const bool over = overGlyphAt(buttonAt(pt) == &button, rel.x, rel.y, button.glyphWidth_, button.glyphHeight_,
                                  [&](int x, int y) { return button.visibleGlyphPixel(x, y); });
    if (button.state_.hover(over).repaint) button.invalidate();
}

void SkinButtonHost::paint(HDC dc) {
    for (TSkinButton* b : buttons_)
        if (b->Visible) b->paint(dc);
}

bool SkinButtonHost::mouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
        TSkinButton* b = buttonAt(pt);
        if (!b) return false;
        const TMouseButtonKind kind = kindOf(msg);
        if (msg == WM_LBUTTONDBLCLK && b->down() && b->OnDblClick) b->OnDblClick();
        const SkinButtonState::Effect e = b->state_.press(kind == mbLeftButton);
        if (e.repaint) b->invalidate();
        if (b->state_.heldDown()) {
            captured_ = b;
            SetCapture(host_);
        }
        if (b->OnMouseDown) b->OnMouseDown(kind, b->relative(pt));
        result = 0;
        return true;
    }
    case WM_MOUSEMOVE: {
        if (!tipsMade_) {
            makeTips();
            // The tip control sees the moves from the next one on; this one is relayed to it.
            if (tooltip_) {
                MSG relayed{host_, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
                GetCursorPos(&relayed.pt);
                SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
            }
        }
        if (captured_) {
            captured_->state_.move(captured_->relative(pt).x, captured_->relative(pt).y);
            updateHover(*captured_, pt);
            if (captured_->OnMouseMove) captured_->OnMouseMove(captured_->relative(pt));
            return false;
        }
        TSkinButton* b = buttonAt(pt);
        if (hovered_ && hovered_ != b && hovered_->state_.leave().repaint) hovered_->invalidate();
        if (b && b != hovered_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, host_, 0};
            TrackMouseEvent(&track);
        }
        hovered_ = b;
        if (b) {
            updateHover(*b, pt);
            if (b->OnMouseMove) b->OnMouseMove(b->relative(pt));
        }
        return false;
    }
    case WM_MOUSELEAVE:
        if (hovered_ && hovered_->state_.leave().repaint) hovered_->invalidate();
        hovered_ = nullptr;
        return false;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const TMouseButtonKind kind = kindOf(msg);
        TSkinButton* b = kind == mbLeftButton ? captured_ : buttonAt(pt);
        if (!b) return false;
        const POINT rel = b->relative(pt);
        if (kind == mbLeftButton) {
            captured_ = nullptr;
            const SkinButtonState::Effect e = b->state_.release(rel.x, rel.y, buttonAt(pt) == b);
            if (GetCapture() == host_) ReleaseCapture();
            if (e.click)
                for (SkinButtonState* s : group_.clicked(b->state_))
                    if (TSkinButton* other = byState(s)) other->invalidate();
            if (e.repaint) b->invalidate();
            if (b->OnMouseUp) b->OnMouseUp(kind, rel);
            // Raised last: a click may open a modal dialog.
            if (e.click) b->click();
        } else if (b->OnMouseUp) {
            b->OnMouseUp(kind, rel);
        }
        result = 0;
        return true;
    }
    case WM_CAPTURECHANGED:
        // Capture taken away (a dialog, a drag): the press ends without a click.
        if (captured_ && reinterpret_cast<HWND>(lp) != host_) {
            TSkinButton* b = captured_;
            captured_ = nullptr;
            if (b->state_.release(-1, -1, false).repaint) b->invalidate();
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
    case WM_SYSCOLORCHANGE:
        // The greyed cells are made of system colours.
        for (TSkinButton* b : buttons_) {
            b->dropCells();
            b->prepareCells();
            b->invalidate();
        }
        return false;
    case WM_CHAR:
    case WM_SYSCHAR:
        for (TSkinButton* b : buttons_)
            if (b->Visible && b->enabled() && isAccelerator(static_cast<char>(wp), b->caption())) {
                b->click();
                result = 0;
                return true;
            }
        return false;
    default:
        return false;
    }
}

}  // namespace ui
