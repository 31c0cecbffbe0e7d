// ombrix-mask end to end: the built tool run on pictures written here and on the shipped
// skin, its mask read back with the program's own reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/EncipherCopy.h"
#include "tests/support/ToolRun.h"
#include "ui/MaskData.h"

#if defined(OMBRIX_MASK_TOOL) && defined(OMBRIX_SKIN)

using testsupport::quote;
using testsupport::TempFolder;
using testsupport::ToolRun;
using ui::MaskRect;

namespace {

constexpr uint32_t kMagenta = 0xFF00FF;

// A 24-bit BMP of `rows` ('#' a face pixel, anything else the transparent magenta), bottom
// up as usual or top down.
std::vector<uint8_t> bmp(const std::vector<std::string>& rows, bool topDown = false, uint16_t bits = 24) {
    const auto height = static_cast<int32_t>(rows.size()), width = static_cast<int32_t>(rows.front().size());
    const int32_t stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    out.push_back('B');
    out.push_back('M');
    put(static_cast<uint32_t>(54 + stride * height), 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(static_cast<uint32_t>(width), 4);
    put(static_cast<uint32_t>(topDown ? -height : height), 4);
    put(1, 2);
    put(bits, 2);
    put(0, 4);
    put(static_cast<uint32_t>(stride * height), 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (int32_t i = 0; i < height; ++i) {
        const std::string& row = rows[static_cast<size_t>(topDown ? i : height - 1 - i)];
        for (char c : row) put(c == '#' ? 0x204060 : kMagenta, 3);
        for (int32_t pad = width * 3; pad < stride; ++pad) out.push_back(0);
    }
    return out;
}

struct MaskRun {
    ToolRun run;
    std::vector<uint8_t> bytes;
    std::optional<ui::MaskShape> shape;
};

MaskRun runMask(const TempFolder& folder, const std::string& skin, const std::string& options = "") {
    MaskRun r;
    const std::string out = folder.file("skin.mask2");
    r.run = testsupport::runShell(folder, quote(testsupport::buildPath(OMBRIX_MASK_TOOL)) + " " + quote(skin) + " " +
                                              quote(out) + (options.empty() ? "" : " " + options));
    std::ifstream in(out, std::ios::binary);
    if (in) {
        r.bytes = testsupport::readFileBytes(out);
        r.shape = ui::parseMask2(r.bytes.data(), r.bytes.size());
    }
    return r;
}

std::string writeBmp(const TempFolder& folder, const std::vector<uint8_t>& bytes, const std::string& name = "skin.bmp") {
    const std::string path = folder.file(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

bool covered(const std::vector<MaskRect>& rects, int x, int y) {
    for (const MaskRect& r : rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

const std::vector<std::string> kPicture{
    "........",
    "...##...",
    "..####..",
    ".##..##.",
    "..####..",
};
const std::vector<MaskRect> kPictureMask{
    {3, 1, 5, 2}, {2, 2, 6, 3}, {1, 3, 3, 4}, {5, 3, 7, 4}, {2, 4, 6, 5}};

}  // namespace

TEST(OmbrixMaskToolTest, MasksEveryPixelThatIsNotTheTopLeftColour) {
    TempFolder folder;
    MaskRun r = runMask(folder, writeBmp(folder, bmp(kPicture)));
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_TRUE(r.shape);
    EXPECT_EQ(r.shape->rects, kPictureMask);
    EXPECT_EQ(r.shape->bounds, (MaskRect{1, 1, 7, 5}));
    EXPECT_EQ(r.run.out, "5 rectangles in 4 bands, bounds (1, 1)-(7, 5)\n");
}

TEST(OmbrixMaskToolTest, ReadsTopDownRowsTheSameWay) {
    TempFolder folder;
    MaskRun r = runMask(folder, writeBmp(folder, bmp(kPicture, true)));
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_TRUE(r.shape);
    EXPECT_EQ(r.shape->rects, kPictureMask);
}

TEST(OmbrixMaskToolTest, KeyOptionNamesTheTransparentColour) {
    TempFolder folder;
    // With the face colour as the transparent one, the magenta around it is the window.
    MaskRun r = runMask(folder, writeBmp(folder, bmp({"#..", "##.", "###"})), "--key 204060");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_TRUE(r.shape);
    EXPECT_EQ(r.shape->rects, (std::vector<MaskRect>{{1, 0, 3, 1}, {2, 1, 3, 2}}));
}

TEST(OmbrixMaskToolTest, SizeKeepsToTheTopLeftOfTheSkin) {
    TempFolder folder;
    MaskRun r = runMask(folder, writeBmp(folder, bmp(kPicture)), "--size 4x3");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_TRUE(r.shape);
    EXPECT_EQ(r.shape->rects, (std::vector<MaskRect>{{3, 1, 4, 2}, {2, 2, 4, 3}}));
    // A size beyond the picture is the whole picture.
    MaskRun all = runMask(folder, writeBmp(folder, bmp(kPicture)), "--size 100x100");
    ASSERT_TRUE(all.shape);
    EXPECT_EQ(all.shape->rects, kPictureMask);
}

TEST(OmbrixMaskToolTest, RefusesSkinsItCannotMakeAShapeOf) {
    TempFolder folder;
    struct Case {
        std::vector<uint8_t> bytes;
        std::string message;
    };
    std::vector<uint8_t> truncated = bmp(kPicture);
    truncated.resize(truncated.size() - 3);
    std::vector<uint8_t> compressed = bmp(kPicture);
    compressed[30] = 1;
    const std::vector<Case> cases{
        {bmp({"...", "..."}), "ombrix-mask: the skin has no pixel but the transparent colour\n"},
        {bmp(kPicture, false, 32), "ombrix-mask: the skin is not an uncompressed 24-bit picture\n"},
        {compressed, "ombrix-mask: the skin is not an uncompressed 24-bit picture\n"},
        {truncated, "ombrix-mask: the skin is pixel rows that go past the end of the file\n"},
        {std::vector<uint8_t>(60, 'x'), "ombrix-mask: the skin is not a BMP picture\n"},
    };
    for (const Case& c : cases) {
        MaskRun r = runMask(folder, writeBmp(folder, c.bytes));
        EXPECT_EQ(r.run.exitCode, 1);
        EXPECT_EQ(r.run.err, c.message);
        EXPECT_TRUE(r.bytes.empty()) << "no mask is written for a skin that makes none";
    }
    MaskRun missing = runMask(folder, folder.file("none.bmp"));
    EXPECT_EQ(missing.run.exitCode, 1);
    EXPECT_EQ(missing.run.err, "ombrix-mask: cannot read " + folder.file("none.bmp") + "\n");
}

TEST(OmbrixMaskToolTest, WrongArgumentsShowTheUsage) {
    TempFolder folder;
    const std::string skin = writeBmp(folder, bmp(kPicture));
    for (const std::string& options : {"--size 10", "--size 0x5", "--key 12345", "--key", "--shape"}) {
        MaskRun r = runMask(folder, skin, options);
        EXPECT_EQ(r.run.exitCode, 2) << options;
        EXPECT_NE(r.run.err.find("usage: ombrix-mask SKIN.bmp OUT"), std::string::npos) << options;
    }
}

// The skin the program ships and the shape its build makes from it.
TEST(OmbrixMaskToolTest, ShippedSkinGivesAnOutlineThatHoldsEveryButton) {
    const std::vector<uint8_t> skin = testsupport::readFileBytes(testsupport::buildPath(OMBRIX_SKIN));
    ASSERT_GE(skin.size(), 54u);
    auto u32 = [&skin](size_t at) {
        return uint32_t{skin[at]} | uint32_t{skin[at + 1]} << 8 | uint32_t{skin[at + 2]} << 16 |
               uint32_t{skin[at + 3]} << 24;
    };
    EXPECT_EQ(u32(18), 300u);
    EXPECT_EQ(u32(22), 618u);
    EXPECT_EQ(skin[28], 24);

    TempFolder folder;
    MaskRun r = runMask(folder, testsupport::buildPath(OMBRIX_SKIN), "--size 268x558");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    ASSERT_TRUE(r.shape);
    const std::vector<MaskRect>& rects = r.shape->rects;
    // A real outline, inside the 268 x 558 client area and well away from its corners.
    EXPECT_GT(rects.size(), 100u);
    EXPECT_GE(r.shape->bounds.left, 0);
    EXPECT_GE(r.shape->bounds.top, 0);
    EXPECT_LE(r.shape->bounds.right, 268);
    EXPECT_LE(r.shape->bounds.bottom, 558);
    for (auto [x, y] : {std::pair{0, 0}, {267, 0}, {0, 557}, {267, 557}, {5, 280}, {140, 2}})
        EXPECT_FALSE(covered(rects, x, y)) << x << "," << y;
    // Each click area of the main window lies wholly on the face, one pixel round it too.
    const MaskRect buttons[] = {{152, 296, 236, 321}, {163, 333, 236, 359}, {180, 371, 236, 395},
                                {186, 405, 236, 426}, {73, 481, 230, 519}};
    for (const MaskRect& b : buttons)
        for (int y = b.top - 1; y <= b.bottom; ++y)
            for (int x = b.left - 1; x <= b.right; ++x)
                ASSERT_TRUE(covered(rects, x, y)) << "button at " << b.left << "," << b.top << " pixel " << x << "," << y;
}

#endif
