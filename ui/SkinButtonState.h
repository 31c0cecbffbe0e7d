// What an image button decides, apart from any window: which glyph cell shows, whether the
// cursor is over the visible picture, how presses, moves and releases change its state,
// how the buttons of a group latch, and which key clicks it. The window half only draws
// and routes messages.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui {

enum ButtonDrawState : int { dsUp = 0, dsDisabled = 1, dsPressed = 2, dsHover = 3 };

// The cell a state draws, and whether it is the greyed image made from cell 0.
struct GlyphCell {
    int cell = 0;
    bool greyed = false;
    friend bool operator==(const GlyphCell&, const GlyphCell&) = default;
};

// Cells in a glyph of `numGlyphs` (below 1 taken as 1, above 4 as 4).
int clampNumGlyphs(int numGlyphs) noexcept;

// The cell for `state`: a state without a cell of its own shows cell 0, except a missing
// disabled cell, which is cell 0 greyed.
GlyphCell glyphCellFor(ButtonDrawState state, int numGlyphs) noexcept;

// Whether the cursor at (x, y), relative to the button's top left, is over a visible pixel
// of a glyph of `width` x `height`: the button is the control under the cursor, the point
// lies on the glyph, and `visible(x, y)` (the pixel differs from the bottom-left one)
// holds. An empty glyph is never hovered.
bool overGlyphAt(bool buttonUnderCursor, int x, int y, int width, int height,
                 const std::function<bool(int, int)>& visible);

// The accelerator of a caption: the character after a single "&", or 0. "&&" is a literal.
char acceleratorOf(const std::string& caption) noexcept;
// Whether `key` is the caption's accelerator, case ignored.
bool isAccelerator(char key, const std::string& caption) noexcept;

// The state of one button and its reactions to the mouse. Each reaction says whether the
// button must be repainted and whether a click is due; the caller raises the events after
// the state has changed.
class SkinButtonState {
public:
    struct Effect {
        bool repaint = false;
        bool click = false;
        bool mouseDownEvent = false;
    };

    int width = 25;
    int height = 25;
    bool enabled = true;
    int groupIndex = 0;
    bool allowAllUp = false;

    ButtonDrawState drawState() const noexcept { return drawState_; }
    bool overGlyph() const noexcept { return overGlyph_; }
    bool heldDown() const noexcept { return heldDown_; }
    bool down() const noexcept { return down_; }

    // Whether (x, y), relative to the top left, lies in the client rectangle (right and
    // bottom exclusive).
    bool inside(int x, int y) const noexcept { return x >= 0 && y >= 0 && x < width && y < height; }

    // The state a painting shows, settled just before drawing.
    ButtonDrawState settleForPaint() noexcept;

    Effect press(bool leftButton);
    void move(int x, int y);
    // `stillUnder`: whether this button is the control under the cursor after the release.
    Effect release(int x, int y, bool stillUnder);
    Effect leave();
    // A new hover answer from a mouse move; repaint when it changed.
    Effect hover(bool over);
    // A change of `enabled`: the hover state is looked at again by the caller's next move.
    Effect enabledChanged();

    // Latching. `setDown` answers whether the value changed; a change to down must be
    // announced to the group (see SkinButtonGroup).
    bool setDown(bool value);
    // Another button of this group went down.
    bool peerWentDown(bool senderAllowAllUp);

private:
    ButtonDrawState drawState_ = dsUp;
    bool overGlyph_ = false;
    bool heldDown_ = false;
    bool down_ = false;
};

// The buttons on one parent: what `Down` does across a group. Buttons are not owned.
class SkinButtonGroup {
public:
    void add(SkinButtonState& b) { buttons_.push_back(&b); }
    void remove(const SkinButtonState& b);
    // Sets `b` down or up; other down buttons of its group go up. Answers the buttons that
    // must be repainted.
    std::vector<SkinButtonState*> setDown(SkinButtonState& b, bool value);
    // A release that counts on `b`: toggles a grouped button's latch.
    std::vector<SkinButtonState*> clicked(SkinButtonState& b);

private:
    std::vector<SkinButtonState*> buttons_;
};

}  // namespace ui
