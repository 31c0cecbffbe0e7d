// The running program's main window wears its skin: cut to the shape stored in the program,
// so its corners are not part of it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/win/ProgramUnderTest.h"
#include "ui/MaskData.h"
#include "ui/MaskRegion.h"
#include "win32/UniqueHandle.h"

using testing_support::ProgramUnderTest;

TEST(SkinnedWindowInProgramTest, TheMainWindowIsCutToTheShapeStoredInTheProgram) {
    ProgramUnderTest program;
    program.writeSwitches({});
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);

    HMODULE exe = LoadLibraryExA(program.path("ombrix.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    const std::vector<uint8_t> data = ui::loadResourceData(exe, IDR_MASK2);
    FreeLibrary(exe);
    const auto shape = ui::parseMask2(data.data(), data.size());
    ASSERT_TRUE(shape.has_value());

    win::UniqueGdiObject rgn(CreateRectRgn(0, 0, 0, 0));
    ASSERT_TRUE(ProgramUnderTest::waitUntil(
        [&] { return GetWindowRgn(w, static_cast<HRGN>(rgn.get())) != ERROR; }, 10000));
    RECT box{};
    GetRgnBox(static_cast<HRGN>(rgn.get()), &box);
    EXPECT_EQ(box.left, shape->bounds.left);
    EXPECT_EQ(box.top, shape->bounds.top);
    EXPECT_EQ(box.right, shape->bounds.right);
    EXPECT_EQ(box.bottom, shape->bounds.bottom);
    EXPECT_FALSE(PtInRegion(static_cast<HRGN>(rgn.get()), 0, 0));
    // Every button lies on the shape, so the mouse can reach it.
    for (POINT p : {POINT{152 + 42, 296 + 12}, POINT{163 + 36, 333 + 13}, POINT{180 + 28, 371 + 12},
                    POINT{186 + 25, 405 + 10}, POINT{73 + 78, 481 + 19}})
        EXPECT_TRUE(PtInRegion(static_cast<HRGN>(rgn.get()), p.x, p.y)) << p.x << "," << p.y;

    EXPECT_EQ(program.exitByMenu(w), 0u);
}
