// Image-button decisions without a window.
#include "ui/SkinButtonState.h"

#include <cctype>

namespace ui {

int clampNumGlyphs(int numGlyphs) noexcept { return numGlyphs < 1 ? 1 : numGlyphs > 4 ? 4 : numGlyphs; }

GlyphCell glyphCellFor(ButtonDrawState state, int numGlyphs) noexcept {
    const int n = clampNumGlyphs(numGlyphs);
    const int index = static_cast<int>(state);
    if (index < n) return {index, false};
    if (state == dsDisabled) return {0, true};
    return {0, false};
}

bool overGlyphAt(bool buttonUnderCursor, int x, int y, int width, int height,
                 const std::function<bool(int, int)>& visible) {
    if (!buttonUnderCursor || width <= 0 || height <= 0) return false;
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return visible && visible(x, y);
}

char acceleratorOf(const std::string& caption) noexcept {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;  // "&&" shows one ampersand
    }
    return 0;
}

bool isAccelerator(char key, const std::string& caption) noexcept {
    const char a = acceleratorOf(caption);
    if (a == 0 || key == 0) return false;
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(key));
}

ButtonDrawState SkinButtonState::settleForPaint() noexcept {
    if (!enabled)
        drawState_ = dsDisabled;
    else if (!overGlyph_)
        drawState_ = dsUp;
    else if (drawState_ != dsPressed)
        drawState_ = dsHover;
    return drawState_;
}

SkinButtonState::Effect SkinButtonState::press(bool leftButton) {
    Effect e;
    e.mouseDownEvent = true;
    if (!leftButton || !enabled) return e;
    if (!down_) {
        drawState_ = dsPressed;
        e.repaint = true;
    }
    heldDown_ = true;
    return e;
}

void SkinButtonState::move(int x, int y) {
    if (!heldDown_) return;
    // Stored only: the next painting shows it.
    if (down_)
        drawState_ = dsHover;
    else
        drawState_ = inside(x, y) ? dsPressed : dsUp;
}

SkinButtonState::Effect SkinButtonState::release(int x, int y, bool stillUnder) {
    Effect e;
    if (!heldDown_) return e;
    heldDown_ = false;
    const bool in = inside(x, y);
    if (groupIndex == 0) {
        drawState_ = dsUp;
        overGlyph_ = false;
        e.repaint = in;
    } else if (!in) {
        // Pressed, then let go elsewhere: the latch shows what it was.
        drawState_ = down_ ? dsHover : dsUp;
        e.repaint = true;
    }
    e.click = in;
    if (enabled) {
        overGlyph_ = false;
        if (!stillUnder) e.repaint = true;
    }
    return e;
}

SkinButtonState::Effect SkinButtonState::leave() {
    Effect e;
    if (overGlyph_ && enabled && !heldDown_) {
        overGlyph_ = false;
        e.repaint = true;
    }
    return e;
}

SkinButtonState::Effect SkinButtonState::hover(bool over) {
    Effect e;
    if (over != overGlyph_) {
        overGlyph_ = over;
        e.repaint = true;
    }
    return e;
}

SkinButtonState::Effect SkinButtonState::enabledChanged() {
    Effect e;
    e.repaint = true;
    if (!enabled) {
        // A button switched off while held lets the press go: it can no longer click.
        heldDown_ = false;
        overGlyph_ = false;
    }
    settleForPaint();
    return e;
}

bool SkinButtonState::setDown(bool value) {
    if (groupIndex == 0) value = false;
    if (value == down_) return false;
    if (down_ && !allowAllUp) return false;
    down_ = value;
    drawState_ = value ? dsHover : dsUp;
    return true;
}

bool SkinButtonState::peerWentDown(bool senderAllowAllUp) {
    allowAllUp = senderAllowAllUp;
    if (!down_) return false;
    down_ = false;
    drawState_ = dsUp;
    return true;
}

void SkinButtonGroup::remove(const SkinButtonState& b) {
    std::erase(buttons_, &b);
}

std::vector<SkinButtonState*> SkinButtonGroup::setDown(SkinButtonState& b, bool value) {
    std::vector<SkinButtonState*> repaint;
    if (!b.setDown(value)) return repaint;
    repaint.push_back(&b);
    if (!b.down()) return repaint;
    for (SkinButtonState* other : buttons_) {
        if (other == &b || other->groupIndex != b.groupIndex) continue;
        const bool wasDown = other->down();
        other->peerWentDown(b.allowAllUp);
        if (wasDown) repaint.push_back(other);
    }
    return repaint;
}

std::vector<SkinButtonState*> SkinButtonGroup::clicked(SkinButtonState& b) {
    if (b.groupIndex == 0) return {};
    return setDown(b, !b.down());
}

}  // namespace ui
