// The skinned face in this process: the window cut to the shape stored in the program's
// resources, the cases that leave it rectangular, the picture, the drag command of a press
// on the skin, and the click rule of the windowless buttons laid over it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/resource.h"
#include "ui/MaskData.h"
#include "ui/MaskRegion.h"
#include "ui/SkinButton.h"
#include "ui/SkinForm.h"
#include "win32/UniqueHandle.h"
#include "win32/Window.h"

namespace {

// The program's resources, read without running it.
class ProgramResources {
public:
    ProgramResources()
        : module_(LoadLibraryExA((std::string(OMBRIX_PROGRAM_DIR) + "\\ombrix.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ProgramResources() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
};

// A borderless window that hands its messages to skin buttons and then to a skin form, as
// the main window does, and keeps the system commands it is sent instead of acting on them
// (a real drag would wait for the mouse).
class SkinnedWindow : public win::Window {
public:
    SkinnedWindow() {
        registerClass("OmbrixSkinTestForm", CS_DBLCLKS);
        create("OmbrixSkinTestForm", "Skin test", 0, WS_POPUP | WS_CAPTION, 40, 40, 268, 558);
        skin = std::make_unique<ui::TSkinForm>(hwnd());
        buttons = std::make_unique<ui::SkinButtonHost>(hwnd());
    }
    ~SkinnedWindow() override {
        buttons.reset();
        skin.reset();
    }

    std::unique_ptr<ui::TSkinForm> skin;
    std::unique_ptr<ui::SkinButtonHost> buttons;
    std::vector<WPARAM> sysCommands;

    LRESULT send(UINT msg, int x, int y, WPARAM keys = 0) {
        return SendMessageA(hwnd(), msg, keys, MAKELPARAM(x, y));
    }

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override {
        LRESULT result = 0;
        if (buttons && buttons->mouseMessage(msg, wp, lp, result)) return result;
        if (skin && skin->ownerMessage(msg, wp, lp, result)) return result;
        if (msg == WM_SYSCOMMAND) {
            sysCommands.push_back(wp);
            return 0;
        }
        return defaultHandling(msg, wp, lp);
    }
};

// The window's region, or nothing when it has none.
win::UniqueGdiObject windowRegion(HWND w, int* kind) {
    win::UniqueGdiObject rgn(CreateRectRgn(0, 0, 0, 0));
    *kind = GetWindowRgn(w, static_cast<HRGN>(rgn.get()));
    return rgn;
}

std::vector<uint8_t> shippedMask(const ProgramResources& res) { return ui::loadResourceData(res.module(), IDR_MASK2); }

}  // namespace

TEST(SkinFormMaskTest, TheStoredShapeBecomesTheWindowRegion) {
    ProgramResources res;
    ASSERT_NE(res.module(), nullptr) << "ombrix.exe beside the tests";
    std::vector<uint8_t> data = shippedMask(res);
    const auto shape = ui::parseMask2(data.data(), data.size());
    ASSERT_TRUE(shape.has_value()) << "the program carries a usable mask";

    SkinnedWindow w;
    ASSERT_TRUE(w.skin->loadMask(data));
    EXPECT_TRUE(w.skin->hasMask());
    int kind = ERROR;
    win::UniqueGdiObject rgn = windowRegion(w.hwnd(), &kind);
    ASSERT_NE(kind, ERROR) << "the window got a region";
    RECT box{};
    GetRgnBox(static_cast<HRGN>(rgn.get()), &box);
    EXPECT_EQ(box.left, shape->bounds.left);
    EXPECT_EQ(box.top, shape->bounds.top);
    EXPECT_EQ(box.right, shape->bounds.right);
    EXPECT_EQ(box.bottom, shape->bounds.bottom);
    const ui::MaskRect& first = shape->rects.front();
    EXPECT_TRUE(PtInRegion(static_cast<HRGN>(rgn.get()), first.left, first.top));
    EXPECT_FALSE(PtInRegion(static_cast<HRGN>(rgn.get()), first.left - 1, first.top));
    EXPECT_FALSE(PtInRegion(static_cast<HRGN>(rgn.get()), 0, 0)) << "the corner lies outside the shape";
    EXPECT_EQ(w.skin->saveMask(), data) << "the mask is written back as it was read";
}

TEST(SkinFormMaskTest, NoMaskDataLeavesTheWindowRectangular) {
    SkinnedWindow w;
    EXPECT_FALSE(w.skin->loadMask(ui::encodeMask2({})));
    EXPECT_FALSE(w.skin->hasMask());
    int kind = 0;
    windowRegion(w.hwnd(), &kind);
    EXPECT_EQ(kind, ERROR) << "no region was set";
    EXPECT_EQ(w.skin->saveMask(), std::vector<uint8_t>(4, 0));
}

TEST(SkinFormMaskTest, DataThatMakesNoRegionLeavesTheWindowRectangular) {
    SkinnedWindow w;
    std::vector<uint8_t> data = ui::encodeMask2({{10, 10, 20, 20}});
    data[8] = 7;  // not a rectangle list
    EXPECT_FALSE(w.skin->loadMask(data));
    std::vector<uint8_t> shortData = ui::encodeMask2({{10, 10, 20, 20}});
    shortData.resize(shortData.size() - 1);
    EXPECT_FALSE(w.skin->loadMask(shortData));
    EXPECT_FALSE(w.skin->loadMask({}));
    int kind = 0;
    windowRegion(w.hwnd(), &kind);
    EXPECT_EQ(kind, ERROR);
}

TEST(SkinFormMaskTest, ANewPictureForgetsTheMaskButTheWindowKeepsItsShape) {
    ProgramResources res;
    ASSERT_NE(res.module(), nullptr);
    SkinnedWindow w;
    ASSERT_TRUE(w.skin->loadMask(ui::encodeMask2({{10, 10, 50, 40}})));
    ASSERT_TRUE(w.skin->loadPicture(res.module(), IDB_SKIN));
    EXPECT_FALSE(w.skin->hasMask());
    EXPECT_EQ(w.skin->saveMask(), std::vector<uint8_t>(4, 0));
    int kind = ERROR;
    win::UniqueGdiObject rgn = windowRegion(w.hwnd(), &kind);
    EXPECT_EQ(kind, SIMPLEREGION);
}

TEST(SkinFormPictureTest, TheSkinIsKeptAtItsNaturalSize) {
    ProgramResources res;
    ASSERT_NE(res.module(), nullptr);
    SkinnedWindow w;
    ASSERT_TRUE(w.skin->loadPicture(res.module(), IDB_SKIN));
    EXPECT_EQ(w.skin->pictureSize().cx, 300);
    EXPECT_EQ(w.skin->pictureSize().cy, 618);
    EXPECT_EQ(GetWindowLongPtrA(w.hwnd(), GWL_STYLE) & WS_CAPTION, 0) << "placing the skin removes the caption";
}

// The skin is drawn from the resource where it lies, not from a decoded copy: every pixel
// must come out as the system's own decoding of the same bitmap gives it.
TEST(SkinFormPictureTest, TheSkinIsDrawnPixelForPixelAsTheSystemDecodesIt) {
    ProgramResources res;
    ASSERT_NE(res.module(), nullptr);
    SkinnedWindow w;
    ASSERT_TRUE(w.skin->loadPicture(res.module(), IDB_SKIN));
    win::UniqueGdiObject reference(
        LoadImageA(res.module(), MAKEINTRESOURCEA(IDB_SKIN), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_TRUE(reference);
    struct Canvas {
        HDC dc = CreateCompatibleDC(nullptr);
        uint32_t* bits = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ old = nullptr;
        Canvas() {
            BITMAPINFO bi{};
            bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 300, -618, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
            old = SelectObject(dc, bitmap);
        }
        ~Canvas() {
            SelectObject(dc, old);
            DeleteObject(bitmap);
            DeleteDC(dc);
        }
    } drawn, decoded;
    ASSERT_TRUE(drawn.bits && decoded.bits);
    w.skin->paint(drawn.dc);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(source, reference.get());
    BitBlt(decoded.dc, 0, 0, 300, 618, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    GdiFlush();
    size_t differing = 0;
    for (size_t i = 0; i < size_t{300} * 618; ++i)
        if ((drawn.bits[i] & 0xffffff) != (decoded.bits[i] & 0xffffff)) ++differing;
    EXPECT_EQ(differing, 0u);
    size_t unlikeTheCorner = 0;
    for (size_t i = 0; i < size_t{300} * 618; ++i)
        if ((drawn.bits[i] & 0xffffff) != (drawn.bits[0] & 0xffffff)) ++unlikeTheCorner;
    EXPECT_GT(unlikeTheCorner, size_t{300} * 618 / 2) << "the skin was not drawn";
}

TEST(SkinFormDragTest, ALeftPressOnTheSkinAsksForTheCaptionDragAndOtherPressesDoNothing) {
    SkinnedWindow w;
    ui::TSkinButton b(186, 405, 50, 21, "Close to tray");
    w.buttons->add(b);
    w.send(WM_RBUTTONDOWN, 20, 20, MK_RBUTTON);
    EXPECT_TRUE(w.sysCommands.empty());
    w.send(WM_LBUTTONDOWN, 190, 410, MK_LBUTTON);
    w.send(WM_LBUTTONUP, 190, 410);
    EXPECT_TRUE(w.sysCommands.empty()) << "a press on a button is the button's";
    w.send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    ASSERT_EQ(w.sysCommands.size(), 1u);
    EXPECT_EQ(w.sysCommands[0], 0xF012u);
    w.send(WM_LBUTTONDBLCLK, 20, 20, MK_LBUTTON);
    EXPECT_EQ(w.sysCommands.size(), 2u) << "the second press of a double click drags too";
    w.skin->Draggable = false;
    w.send(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ(w.sysCommands.size(), 2u);
}

TEST(SkinButtonClickTest, AReleaseOnTheLastRowClicksAndOneRowBelowOrElsewhereDoesNot) {
    SkinnedWindow w;
    ui::TSkinButton b(186, 405, 50, 21, "Close to tray");
    int clicks = 0;
    b.OnClick = [&] { ++clicks; };
    w.buttons->add(b);

    w.send(WM_LBUTTONDOWN, 200, 410, MK_LBUTTON);
    w.send(WM_LBUTTONUP, 200, 425);
    EXPECT_EQ(clicks, 1) << "row 425 is the button's last";

    w.send(WM_LBUTTONDOWN, 200, 410, MK_LBUTTON);
    w.send(WM_LBUTTONUP, 200, 426);
    EXPECT_EQ(clicks, 1);

    w.send(WM_LBUTTONDOWN, 200, 410, MK_LBUTTON);
    w.send(WM_MOUSEMOVE, 20, 20, MK_LBUTTON);
    w.send(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(clicks, 1) << "pressed, moved off and released elsewhere";
    EXPECT_TRUE(w.sysCommands.empty()) << "that release does not drag either";
    EXPECT_FALSE(b.heldDown());
}

TEST(SkinButtonClickTest, AZeroWidthButtonCannotBeReached) {
    SkinnedWindow w;
    ui::TSkinButton start(0, 0, 0, 25, "");
    int clicks = 0;
    start.OnClick = [&] { ++clicks; };
    w.buttons->add(start);
    w.send(WM_LBUTTONDOWN, 0, 5, MK_LBUTTON);
    w.send(WM_LBUTTONUP, 0, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(w.buttons->buttonAt(POINT{0, 5}), nullptr);
}

TEST(SkinButtonGlyphTest, TheTransparentColourIsTheBottomLeftPixelAndOliveWithoutAGlyph) {
    ui::TSkinButton b(0, 0, 25, 25, "");
    EXPECT_EQ(b.transparentColor(), RGB(128, 128, 0));
    // Two 2 x 2 cells: the left column magenta, the rest blue.
    const uint32_t pixels[8] = {0xFF00FF, 0x0000FF, 0x0000FF, 0x0000FF, 0xFF00FF, 0x0000FF, 0x0000FF, 0x0000FF};
    win::UniqueGdiObject glyph(CreateBitmap(4, 2, 1, 32, pixels));
    b.setGlyph(static_cast<HBITMAP>(glyph.get()));
    b.setNumGlyphs(2);
    EXPECT_EQ(b.transparentColor(), RGB(255, 0, 255));
    EXPECT_FALSE(b.visibleGlyphPixel(0, 0));
    EXPECT_TRUE(b.visibleGlyphPixel(1, 0));
    EXPECT_FALSE(b.visibleGlyphPixel(4, 0)) << "outside the glyph";
    b.setGlyph(nullptr);
    EXPECT_EQ(b.transparentColor(), RGB(128, 128, 0));
    EXPECT_FALSE(b.visibleGlyphPixel(1, 0));
}

namespace {

// A 32-bit picture of `w` x `h` to draw buttons into, white to begin with.
class Canvas {
public:
    Canvas(int w, int h) : w_(w) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
        for (int i = 0; i < w * h; ++i) bits_[i] = 0xFFFFFF;
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const uint32_t p = bits_[y * w_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int w_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

// A 4 x 4 glyph of one cell: red, but for a magenta left column (its transparent colour).
win::UniqueGdiObject redGlyph() {
    uint32_t pixels[16];
    for (int i = 0; i < 16; ++i) pixels[i] = i % 4 == 0 ? 0xFF00FF : 0xFF0000;
    return win::UniqueGdiObject(CreateBitmap(4, 4, 1, 32, pixels));
}

}  // namespace

TEST(SkinButtonGlyphTest, TheGlyphIsDrawnTransparentlyAndAMissingDisabledCellIsGreyed) {
    ui::TSkinButton b(0, 0, 4, 4, "");
    win::UniqueGdiObject glyph = redGlyph();
    b.setGlyph(static_cast<HBITMAP>(glyph.get()));
    b.setNumGlyphs(1);
    {
        Canvas c(4, 4);
        b.paint(c.dc());
        EXPECT_EQ(c.at(2, 1), RGB(255, 0, 0));
        EXPECT_EQ(c.at(0, 1), RGB(255, 255, 255)) << "the transparent colour lets the background show";
    }
    b.setEnabled(false);
    {
        Canvas c(4, 4);
        b.paint(c.dc());
        EXPECT_EQ(c.at(2, 1), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(c.at(0, 1), RGB(255, 255, 255));
    }
}

TEST(SkinButtonGlyphTest, AButtonWithoutGlyphOrCaptionDrawsNothing) {
    ui::TSkinButton b(0, 0, 4, 4, "");
    Canvas c(4, 4);
    b.paint(c.dc());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(c.at(x, y), RGB(255, 255, 255));
}

TEST(SkinButtonHoverTest, TheHoverStateFollowsTheVisiblePixelsOfTheGlyph) {
    SkinnedWindow w;
    ui::TSkinButton b(100, 100, 25, 25, "tip");
    win::UniqueGdiObject glyph = redGlyph();
    b.setGlyph(static_cast<HBITMAP>(glyph.get()));
    w.buttons->add(b);
    w.send(WM_MOUSEMOVE, 100, 101);
    EXPECT_FALSE(b.state().overGlyph()) << "the transparent column";
    w.send(WM_MOUSEMOVE, 102, 101);
    EXPECT_TRUE(b.state().overGlyph());
    w.send(WM_MOUSEMOVE, 110, 110);
    EXPECT_FALSE(b.state().overGlyph()) << "on the button but past the glyph";
    w.send(WM_MOUSEMOVE, 102, 101);
    w.send(WM_MOUSEMOVE, 10, 10);
    EXPECT_FALSE(b.state().overGlyph()) << "leaving the button";
}

TEST(SkinButtonHostTest, AButtonDestroyedBeforeItsHostLeavesIt) {
    SkinnedWindow w;
    const size_t before = w.buttons->count();
    {
        ui::TSkinButton gone(10, 10, 20, 20, "gone");
        w.buttons->add(gone);
        EXPECT_TRUE(gone.hosted());
        EXPECT_EQ(w.buttons->count(), before + 1);
        w.send(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    }
    EXPECT_EQ(w.buttons->count(), before) << "the host still holds a destroyed button";
    EXPECT_EQ(w.buttons->buttonAt(POINT{15, 15}), nullptr);
    w.send(WM_LBUTTONUP, 15, 15);
    ui::TSkinButton stays(40, 40, 20, 20, "stays");
    w.buttons->add(stays);
    w.buttons.reset();
    EXPECT_FALSE(stays.hosted()) << "the button still points to its destroyed host";
    stays.setEnabled(false);  // no host to tell any more
    EXPECT_FALSE(stays.enabled());
}

namespace {

struct TipSearch {
    HWND host, found;
};

BOOL CALLBACK findTips(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TipSearch*>(lp);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (GetWindow(w, GW_OWNER) == s->host && lstrcmpiA(cls, "tooltips_class32") == 0) s->found = w;
    return s->found == nullptr;
}

// The tip control the host window owns in this thread, or null.
HWND tipsOf(HWND host) {
    TipSearch search{host, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &findTips, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::string> tipTexts(HWND tips) {
    std::vector<std::string> texts;
    const auto n = SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char text[256] = "";
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V1_SIZE;
        ti.lpszText = text;
        if (SendMessageA(tips, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti)))
            texts.emplace_back(text);
    }
    return texts;
}

}  // namespace

// The tips are made when the mouse first comes over the window; each reachable button with a
// hint has one, whenever it was added, and a button that leaves takes its tip along.
TEST(SkinButtonTipTest, TipsComeWithTheFirstMoveAndFollowTheButtons) {
    SkinnedWindow w;
    ui::TSkinButton settings(10, 10, 40, 20, "Setting");
    ui::TSkinButton unreachable(60, 10, 0, 20, "Nowhere");
    ui::TSkinButton quiet(10, 40, 40, 20, "Quiet");
    quiet.ShowHint = false;
    for (ui::TSkinButton* b : {&settings, &unreachable, &quiet}) w.buttons->add(*b);
    EXPECT_EQ(tipsOf(w.hwnd()), nullptr) << "tips made before the mouse came";
    w.send(WM_MOUSEMOVE, 200, 300);
    HWND tips = tipsOf(w.hwnd());
    ASSERT_NE(tips, nullptr) << "no tips after the first move";
    EXPECT_EQ(tipTexts(tips), std::vector<std::string>{"Setting"});
    {
        ui::TSkinButton later(10, 70, 40, 20, "Close to tray");
        w.buttons->add(later);
        EXPECT_EQ(tipTexts(tips), (std::vector<std::string>{"Setting", "Close to tray"}));
    }
    EXPECT_EQ(tipTexts(tips), std::vector<std::string>{"Setting"}) << "a destroyed button's tip stayed";
    w.send(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(tipsOf(w.hwnd()), tips) << "one tip control for the window";
}
