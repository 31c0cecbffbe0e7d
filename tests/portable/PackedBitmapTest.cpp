// The layout of a packed bitmap that is drawn straight from a resource: every row it claims
// must lie within the resource, or it is not drawn from there.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "tests/support/EncipherCopy.h"
#include "tests/support/ToolRun.h"
#include "ui/PackedBitmap.h"

namespace {

// An information header written field by field, then `extra` bytes of table and rows.
std::vector<uint8_t> packed(uint32_t headerSize, int32_t width, int32_t height, uint16_t bitCount,
                            uint32_t compression, uint32_t coloursUsed, size_t extra) {
    std::vector<uint8_t> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    u32(headerSize);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(bitCount);
    u32(compression);
    for (int i = 0; i < 3; ++i) u32(0);  // image size, resolutions
    u32(coloursUsed);
    u32(0);  // important colours
    b.resize(headerSize + extra, 0);
    return b;
}

std::optional<ui::PackedBitmap> layoutOf(const std::vector<uint8_t>& b) {
    return ui::packedBitmapLayout(b.data(), b.size());
}

}  // namespace

TEST(PackedBitmapTest, TheShippedSkinIsDrawnFromItsRowsAfterTheHeader) {
    const std::vector<uint8_t> file = testsupport::readFileBytes(testsupport::buildPath(OMBRIX_SKIN));
    ASSERT_GT(file.size(), 14u);
    // A bitmap resource is the file without its 14-byte file header.
    const auto layout = ui::packedBitmapLayout(file.data() + 14, file.size() - 14);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->width, 300);
    EXPECT_EQ(layout->height, 618);
    EXPECT_EQ(layout->bitsOffset, 40u);
}

TEST(PackedBitmapTest, TheRowsStartAfterTheMasksAndTheColourTable) {
    // 24 bits: rows of 3 x 5 = 15 bytes padded to 16.
    auto rgb = layoutOf(packed(40, 5, 2, 24, 0, 0, 32));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->bitsOffset, 40u);
    // 8 bits with the whole table, and with the colours it says it uses.
    auto full = layoutOf(packed(40, 4, 1, 8, 0, 0, 1024 + 4));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->bitsOffset, 40u + 1024);
    auto few = layoutOf(packed(40, 4, 1, 8, 0, 16, 64 + 4));
    ASSERT_TRUE(few);
    EXPECT_EQ(few->bitsOffset, 40u + 64);
    // Bit fields: three masks after a 40-byte header, inside a longer one.
    auto masks = layoutOf(packed(40, 1, 1, 32, 3, 0, 12 + 4));
    ASSERT_TRUE(masks);
    EXPECT_EQ(masks->bitsOffset, 52u);
    auto v5 = layoutOf(packed(124, 1, 1, 32, 3, 0, 4));
    ASSERT_TRUE(v5);
    EXPECT_EQ(v5->bitsOffset, 124u);
}

TEST(PackedBitmapTest, DataThatDoesNotHoldEveryRowIsNotDrawnFromThere) {
    EXPECT_TRUE(layoutOf(packed(40, 5, 2, 24, 0, 0, 32)));
    EXPECT_FALSE(layoutOf(packed(40, 5, 2, 24, 0, 0, 31))) << "one byte short of the last row";
    EXPECT_FALSE(layoutOf(packed(40, 4, 1, 8, 0, 0, 1024 + 3))) << "the table leaves too little for the row";
    EXPECT_FALSE(layoutOf(packed(40, 4, 1, 8, 0, 257, 4096))) << "more colours than 8 bits can index";
    // Dimensions whose rows would overflow a size computed in 32 bits.
    EXPECT_FALSE(layoutOf(packed(40, 0x7fffffff, 0x7fffffff, 32, 0, 0, 64)));
    EXPECT_FALSE(layoutOf(packed(40, 0x40000000, 4, 32, 0, 0, 64)));
    std::vector<uint8_t> header = packed(40, 1, 1, 24, 0, 0, 4);
    EXPECT_FALSE(ui::packedBitmapLayout(header.data(), 39)) << "a cut header";
    EXPECT_FALSE(ui::packedBitmapLayout(nullptr, 0));
}

TEST(PackedBitmapTest, KindsThatAreNotDrawnStraightAreRefused) {
    EXPECT_FALSE(layoutOf(packed(40, 4, -4, 24, 0, 0, 64))) << "top-down rows";
    EXPECT_FALSE(layoutOf(packed(40, 0, 4, 24, 0, 0, 64))) << "no width";
    EXPECT_FALSE(layoutOf(packed(40, 4, 4, 8, 1, 0, 4096))) << "run-length compressed";
    EXPECT_FALSE(layoutOf(packed(40, 4, 4, 24, 3, 0, 4096))) << "bit fields on 24 bits";
    EXPECT_FALSE(layoutOf(packed(40, 4, 4, 2, 0, 0, 4096))) << "no such depth";
    EXPECT_FALSE(layoutOf(packed(12, 4, 4, 24, 0, 0, 4096))) << "an old core header";
    std::vector<uint8_t> planes = packed(40, 1, 1, 24, 0, 0, 4);
    planes[12] = 2;
    EXPECT_FALSE(layoutOf(planes)) << "two planes";
    std::vector<uint8_t> huge = packed(40, 1, 1, 24, 0, 0, 4);
    huge[0] = 0xff;  // header longer than the data
    EXPECT_FALSE(layoutOf(huge));
}
