// Image-button decisions: glyph cells and the greyed stand-in, hover by visible pixel, the
// press/move/release sequence with its click rule, latching groups and accelerators.
#include <gtest/gtest.h>

#include <algorithm>

#include "ui/SkinButtonState.h"

using namespace ui;

namespace {

SkinButtonState button(int w, int h) {
    SkinButtonState b;
    b.width = w;
    b.height = h;
    return b;
}

bool contains(const std::vector<SkinButtonState*>& v, const SkinButtonState* b) {
    return std::find(v.begin(), v.end(), b) != v.end();
}

}  // namespace

TEST(SkinButtonCellTest, EachStateShowsItsOwnCellWhenAllFourExist) {
    EXPECT_EQ(glyphCellFor(dsUp, 4), (GlyphCell{0, false}));
    EXPECT_EQ(glyphCellFor(dsDisabled, 4), (GlyphCell{1, false}));
    EXPECT_EQ(glyphCellFor(dsPressed, 4), (GlyphCell{2, false}));
    EXPECT_EQ(glyphCellFor(dsHover, 4), (GlyphCell{3, false}));
}

TEST(SkinButtonCellTest, MissingCellsFallBackToCellZeroAndAMissingDisabledCellIsGreyed) {
    EXPECT_EQ(glyphCellFor(dsDisabled, 1), (GlyphCell{0, true}));
    EXPECT_EQ(glyphCellFor(dsPressed, 1), (GlyphCell{0, false}));
    EXPECT_EQ(glyphCellFor(dsHover, 1), (GlyphCell{0, false}));
    EXPECT_EQ(glyphCellFor(dsDisabled, 2), (GlyphCell{1, false}));
    EXPECT_EQ(glyphCellFor(dsPressed, 2), (GlyphCell{0, false}));
    EXPECT_EQ(glyphCellFor(dsPressed, 3), (GlyphCell{2, false}));
    EXPECT_EQ(glyphCellFor(dsHover, 3), (GlyphCell{0, false}));
}

TEST(SkinButtonCellTest, CellCountsOutsideOneToFourAreClamped) {
    EXPECT_EQ(clampNumGlyphs(9), 4);
    EXPECT_EQ(clampNumGlyphs(0), 1);
    EXPECT_EQ(clampNumGlyphs(-3), 1);
    EXPECT_EQ(glyphCellFor(dsHover, 7), (GlyphCell{3, false}));
    EXPECT_EQ(glyphCellFor(dsDisabled, 0), (GlyphCell{0, true}));
}

TEST(SkinButtonHoverTest, HoverFollowsTheVisiblePixelsNotTheRectangle) {
    // A 4 x 4 glyph whose left half is its background colour.
    auto visible = [](int x, int) { return x >= 2; };
    EXPECT_FALSE(overGlyphAt(true, 1, 1, 4, 4, visible));
    EXPECT_TRUE(overGlyphAt(true, 2, 1, 4, 4, visible));
    EXPECT_TRUE(overGlyphAt(true, 3, 3, 4, 4, visible));
}

TEST(SkinButtonHoverTest, PointsOffTheGlyphOrUnderAnotherControlNeverHover) {
    int asked = 0;
    auto visible = [&](int, int) {
        ++asked;
        return true;
    };
    EXPECT_FALSE(overGlyphAt(true, 4, 0, 4, 4, visible));
    EXPECT_FALSE(overGlyphAt(true, 0, 4, 4, 4, visible));
    EXPECT_FALSE(overGlyphAt(true, -1, 0, 4, 4, visible));
    EXPECT_FALSE(overGlyphAt(false, 1, 1, 4, 4, visible));
    EXPECT_FALSE(overGlyphAt(true, 0, 0, 0, 0, visible));  // no glyph
    EXPECT_EQ(asked, 0) << "no pixel is read outside the glyph";
}

TEST(SkinButtonStateTest, APressAndReleaseOnTheButtonClicksOnce) {
    SkinButtonState b = button(50, 21);
    auto down = b.press(true);
    EXPECT_TRUE(down.mouseDownEvent);
    EXPECT_TRUE(down.repaint);
    EXPECT_EQ(b.drawState(), dsPressed);
    EXPECT_TRUE(b.heldDown());
    auto up = b.release(10, 10, true);
    EXPECT_TRUE(up.click);
    EXPECT_TRUE(up.repaint);
    EXPECT_FALSE(b.heldDown());
    EXPECT_EQ(b.drawState(), dsUp);
    EXPECT_FALSE(b.release(10, 10, true).click) << "a second release without a press clicks nothing";
}

TEST(SkinButtonStateTest, AReleaseOnTheLastPixelRowCountsAndOneRowBelowDoesNot) {
    SkinButtonState b = button(50, 21);
    b.press(true);
    EXPECT_TRUE(b.release(49, 20, true).click);
    b.press(true);
    EXPECT_FALSE(b.release(49, 21, false).click);
    b.press(true);
    EXPECT_FALSE(b.release(50, 20, false).click) << "one column right of the last";
}

TEST(SkinButtonStateTest, APressReleasedOutsideRunsNothing) {
    SkinButtonState b = button(50, 21);
    b.press(true);
    b.move(80, 5);
    EXPECT_EQ(b.drawState(), dsUp);
    auto up = b.release(80, 5, false);
    EXPECT_FALSE(up.click);
    EXPECT_FALSE(b.heldDown());
}

TEST(SkinButtonStateTest, MovingWhileHeldSwitchesBetweenPressedAndUp) {
    SkinButtonState b = button(20, 20);
    b.press(true);
    b.move(25, 5);
    EXPECT_EQ(b.drawState(), dsUp);
    b.move(5, 5);
    EXPECT_EQ(b.drawState(), dsPressed);
    b.release(5, 5, true);
    b.move(25, 5);
    EXPECT_EQ(b.drawState(), dsUp) << "moves after the release change nothing";
}

TEST(SkinButtonStateTest, RightPressesAndDisabledButtonsOnlyReportTheMouseDown) {
    SkinButtonState b = button(20, 20);
    auto right = b.press(false);
    EXPECT_TRUE(right.mouseDownEvent);
    EXPECT_FALSE(right.repaint);
    EXPECT_FALSE(b.heldDown());
    b.enabled = false;
    auto off = b.press(true);
    EXPECT_TRUE(off.mouseDownEvent);
    EXPECT_FALSE(b.heldDown());
    EXPECT_FALSE(b.release(5, 5, true).click);
}

TEST(SkinButtonStateTest, PaintingSettlesDisabledUpPressedOrHover) {
    SkinButtonState b = button(20, 20);
    EXPECT_EQ(b.settleForPaint(), dsUp);
    b.hover(true);
    EXPECT_EQ(b.settleForPaint(), dsHover);
    b.press(true);
    EXPECT_EQ(b.settleForPaint(), dsPressed) << "a press on the picture stays pressed";
    b.enabled = false;
    EXPECT_EQ(b.settleForPaint(), dsDisabled);
}

TEST(SkinButtonStateTest, LeavingClearsHoverUnlessHeld) {
    SkinButtonState b = button(20, 20);
    EXPECT_TRUE(b.hover(true).repaint);
    EXPECT_FALSE(b.hover(true).repaint) << "no repaint without a change";
    b.press(true);
    EXPECT_FALSE(b.leave().repaint);
    EXPECT_TRUE(b.overGlyph());
    b.release(30, 30, false);
    b.hover(true);
    EXPECT_TRUE(b.leave().repaint);
    EXPECT_FALSE(b.overGlyph());
}

TEST(SkinButtonStateTest, AReleaseClearsHoverAndRepaintsWhenTheCursorLeftTheButton) {
    SkinButtonState b = button(20, 20);
    b.hover(true);
    b.press(true);
    auto up = b.release(25, 25, false);
    EXPECT_TRUE(up.repaint);
    EXPECT_FALSE(b.overGlyph());
}

TEST(SkinButtonGroupTest, OnlyAGroupedButtonCanBeDown) {
    SkinButtonState b = button(20, 20);
    SkinButtonGroup g;
    g.add(b);
    EXPECT_TRUE(g.setDown(b, true).empty());
    EXPECT_FALSE(b.down());
    b.press(true);
    EXPECT_TRUE(b.release(5, 5, true).click);
    EXPECT_TRUE(g.clicked(b).empty());
    EXPECT_FALSE(b.down());
}

TEST(SkinButtonGroupTest, ADownButtonPutsTheOtherDownButtonOfItsGroupUp) {
    SkinButtonState a = button(20, 20), b = button(20, 20), other = button(20, 20);
    a.groupIndex = b.groupIndex = 1;
    other.groupIndex = 2;
    SkinButtonGroup g;
    g.add(a);
    g.add(b);
    g.add(other);
    g.setDown(other, true);
    g.setDown(a, true);
    EXPECT_TRUE(a.down());
    EXPECT_EQ(a.drawState(), dsHover);
    auto repaint = g.setDown(b, true);
    EXPECT_TRUE(b.down());
    EXPECT_FALSE(a.down());
    EXPECT_TRUE(contains(repaint, &a));
    EXPECT_TRUE(contains(repaint, &b));
    EXPECT_FALSE(contains(repaint, &other));
    EXPECT_TRUE(other.down()) << "another group is left alone";
}

TEST(SkinButtonGroupTest, ADownButtonGoesUpOnlyWhenAllUpIsAllowed) {
    SkinButtonState a = button(20, 20), b = button(20, 20);
    a.groupIndex = b.groupIndex = 3;
    SkinButtonGroup g;
    g.add(a);
    g.add(b);
    g.setDown(a, true);
    a.press(true);
    EXPECT_EQ(a.drawState(), dsHover) << "a down button does not show pressed";
    EXPECT_TRUE(a.release(1, 1, true).click);
    g.clicked(a);
    EXPECT_TRUE(a.down()) << "clicking the only down button cannot put the group all up";

    b.allowAllUp = true;
    g.setDown(b, true);
    EXPECT_TRUE(a.allowAllUp) << "the others adopt the sender's AllowAllUp";
    EXPECT_FALSE(a.down());
    g.clicked(b);
    EXPECT_FALSE(b.down());
}

TEST(SkinButtonGroupTest, AGroupedPressReleasedOutsideKeepsTheLatch) {
    SkinButtonState a = button(20, 20);
    a.groupIndex = 1;
    SkinButtonGroup g;
    g.add(a);
    a.press(true);
    a.move(40, 40);
    auto up = a.release(40, 40, false);
    EXPECT_FALSE(up.click);
    EXPECT_FALSE(a.down());
    EXPECT_EQ(a.drawState(), dsUp);
}

TEST(SkinButtonAcceleratorTest, TheLetterAfterASingleAmpersandIsTheKey) {
    EXPECT_TRUE(isAccelerator('h', "&Help"));
    EXPECT_TRUE(isAccelerator('H', "&Help"));
    EXPECT_FALSE(isAccelerator('e', "&Help"));
    EXPECT_TRUE(isAccelerator('s', "Fish && &Seafood"));
    EXPECT_FALSE(isAccelerator('&', "A && B"));
    EXPECT_FALSE(isAccelerator('x', "Trailing&"));
    EXPECT_FALSE(isAccelerator('x', ""));
}

TEST(SkinButtonGroupTest, AButtonTakenOffTheParentNoLongerLatchesWithTheGroup) {
    SkinButtonState a = button(20, 20), b = button(20, 20);
    a.groupIndex = b.groupIndex = 1;
    SkinButtonGroup g;
    g.add(a);
    g.add(b);
    g.setDown(a, true);
    g.remove(a);
    g.setDown(b, true);
    EXPECT_TRUE(a.down());
    EXPECT_TRUE(b.down());
}
