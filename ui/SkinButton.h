// Windowless image buttons. A button can draw a glyph of up to four state cells (up,
// disabled, pressed, hover) and a caption; on the main window each one carries neither and
// is an invisible click area laid over a button drawn into the skin, with a hand cursor, a
// tool tip and an OnClick. The window that holds them routes its mouse messages and its
// painting through a SkinButtonHost.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/SkinButtonState.h"
#include "win32/UniqueHandle.h"

namespace ui {

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TMouseButtonKind { mbLeftButton, mbRightButton, mbMiddleButton };

class SkinButtonHost;
struct GlyphCacheList;

class TSkinButton {
public:
    TSkinButton(int left, int top, int width, int height, std::string hint);
    ~TSkinButton();
    TSkinButton(const TSkinButton&) = delete;
    TSkinButton& operator=(const TSkinButton&) = delete;

    const RECT& bounds() const noexcept { return bounds_; }
    // Whether a host holds the button now.
    bool hosted() const noexcept { return host_ != nullptr; }
    const std::string& hint() const noexcept { return hint_; }

    // A copy of `bitmap` becomes the glyph; nullptr clears it.
    void setGlyph(HBITMAP bitmap);
    bool hasGlyph() const noexcept { return glyphWidth_ > 0 && glyphHeight_ > 0; }
    // The glyph's bottom-left colour; olive while there is no glyph.
    COLORREF transparentColor() const noexcept { return transparent_; }
    void setNumGlyphs(int n);
    int numGlyphs() const noexcept { return numGlyphs_; }
    // Whether the glyph's pixel at (x, y) differs from its bottom-left one.
    bool visibleGlyphPixel(int x, int y) const noexcept;

    void setCaption(std::string caption);
    const std::string& caption() const noexcept { return caption_; }
    // nullptr: the host window's font.
    void setFont(HFONT font);
    void setLayout(TButtonLayout layout);
    // Values below -1 are refused (false); -1 centres glyph and caption.
    bool setMargin(int margin);
    void setSpacing(int spacing);
    TButtonLayout layout() const noexcept { return layout_; }
    int margin() const noexcept { return margin_; }
    int spacing() const noexcept { return spacing_; }

    void setEnabled(bool enabled);
    bool enabled() const noexcept { return state_.enabled; }
    // Latching within a group (only a grouped button can be down).
    void setGroupIndex(int index) { state_.groupIndex = index; }
    void setAllowAllUp(bool allow) { state_.allowAllUp = allow; }
    void setDown(bool down);
    bool down() const noexcept { return state_.down(); }

    bool Visible = true;
    bool ShowHint = true;

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(TMouseButtonKind, POINT)> OnMouseDown;
    std::function<void(POINT)> OnMouseMove;
    std::function<void(TMouseButtonKind, POINT)> OnMouseUp;

    // Whether `pt` (host client coordinates) lies on the button. Right and bottom exclusive,
    // so a zero-width button is never hit.
    bool contains(POINT pt) const noexcept { return Visible && PtInRect(&bounds_, pt) != FALSE; }
    const SkinButtonState& state() const noexcept { return state_; }
    bool heldDown() const noexcept { return state_.heldDown(); }

    // Runs the click as a completed press would.
    void click();

    // Draws the glyph cell of the settled state and the caption, transparently; a button
    // without either draws nothing.
    void paint(HDC dc);

private:
    friend class SkinButtonHost;

    POINT relative(POINT pt) const noexcept { return {pt.x - bounds_.left, pt.y - bounds_.top}; }
    void invalidate() const;
    void dropCells();
    void prepareCells();
    HBITMAP cellBitmap(HDC screen, int cell, bool greyed) const;

    SkinButtonHost* host_ = nullptr;
    UINT_PTR toolId_ = 0;
    RECT bounds_;
    std::string hint_;
    SkinButtonState state_;

    // The glyph as 32-bit pixels, top row first.
    std::vector<uint32_t> pixels_;
    int glyphWidth_ = 0;
    int glyphHeight_ = 0;
    int numGlyphs_ = 4;
    COLORREF transparent_ = RGB(128, 128, 0);
    // The prepared cell images, one per draw state, in a list of the shared cache.
    std::shared_ptr<GlyphCacheList> cells_;
    int cellIndex_[4] = {-1, -1, -1, -1};

    std::string caption_;
    HFONT font_ = nullptr;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
};

class SkinButtonHost {
public:
    explicit SkinButtonHost(HWND host);
    ~SkinButtonHost();
    SkinButtonHost(const SkinButtonHost&) = delete;
    SkinButtonHost& operator=(const SkinButtonHost&) = delete;

    // Adds a button; the host does not own it. A button destroyed first leaves the host.
    void add(TSkinButton& button);
    void remove(TSkinButton& button);
    HWND window() const noexcept { return host_; }

    // Routes a message of the host window; true when a button took it.
    bool mouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // Draws every visible button over what the window has drawn.
    void paint(HDC dc);

    // The topmost visible button at `pt`, disabled ones included.
    TSkinButton* buttonAt(POINT pt) const;
    // The buttons the host holds now.
    size_t count() const noexcept { return buttons_.size(); }

private:
    friend class TSkinButton;
    void setDown(TSkinButton& button, bool down);
    void updateHover(TSkinButton& button, POINT pt);
    TSkinButton* byState(const SkinButtonState* s) const;
    void makeTips();
    void addTip(TSkinButton& button);

    HWND host_;
    HWND tooltip_ = nullptr;
    bool tipsMade_ = false;
    std::vector<TSkinButton*> buttons_;
    SkinButtonGroup group_;
    TSkinButton* captured_ = nullptr;
    TSkinButton* hovered_ = nullptr;
    UINT_PTR nextToolId_ = 1;
};

}  // namespace ui
