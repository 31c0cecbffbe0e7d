// The stored window shape ("Mask2"): what a stored list gives, what makes the window stay
// rectangular, and the rectangles made from a picture's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "ui/MaskData.h"

using ui::MaskRect;
using ui::MaskShape;

namespace {

// Stored bytes written field by field, as another writer would, so that a fault of the
// encoder cannot hide one of the reader.
struct Blob {
    std::vector<uint8_t> bytes;
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void rect(int32_t l, int32_t t, int32_t r, int32_t b) {
        for (int32_t v : {l, t, r, b}) u32(static_cast<uint32_t>(v));
    }
};

// N, header size, type, count, list bytes, bounds, then the rectangles.
Blob mask(const MaskRect& bounds, const std::vector<MaskRect>& rects, uint32_t headerSize = 32, uint32_t type = 1,
          int64_t count = -1, int64_t listBytes = -1, int64_t n = -1) {
    Blob b;
    const auto r = static_cast<uint32_t>(rects.size());
    b.u32(n >= 0 ? static_cast<uint32_t>(n) : 32 + 16 * r);
    b.u32(headerSize);
    b.u32(type);
    b.u32(count >= 0 ? static_cast<uint32_t>(count) : r);
    b.u32(listBytes >= 0 ? static_cast<uint32_t>(listBytes) : 16 * r);
    b.rect(bounds.left, bounds.top, bounds.right, bounds.bottom);
    for (const MaskRect& x : rects) b.rect(x.left, x.top, x.right, x.bottom);
    return b;
}

// A small rounded outline: a narrow top band, a wide middle band of two rectangles, a
// bottom band.
const MaskRect kBounds{10, 20, 60, 50};
const std::vector<MaskRect> kRects{{20, 20, 50, 25}, {10, 25, 30, 45}, {35, 25, 60, 45}, {15, 45, 55, 50}};

std::optional<MaskShape> parse(const Blob& b) { return ui::parseMask2(b.bytes.data(), b.bytes.size()); }

bool bandOrdered(const std::vector<MaskRect>& rects) {
    for (size_t i = 1; i < rects.size(); ++i) {
        const MaskRect &a = rects[i - 1], &b = rects[i];
        const bool sameBand = a.top == b.top && a.bottom == b.bottom;
        if (sameBand ? b.left < a.right : b.top < a.bottom) return false;
    }
    return true;
}

std::set<std::pair<int, int>> pixelsOf(const std::vector<MaskRect>& rects) {
    std::set<std::pair<int, int>> pixels;
    for (const MaskRect& r : rects)
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) EXPECT_TRUE(pixels.insert({x, y}).second) << "overlap at " << x << "," << y;
    return pixels;
}

}  // namespace

TEST(MaskDataParseTest, ReadsTheRectanglesAndBoundsOfAStoredList) {
    std::optional<MaskShape> shape = parse(mask(kBounds, kRects));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->bounds, kBounds);
    EXPECT_EQ(shape->rects, kRects);
}

TEST(MaskDataParseTest, ReadsNegativeCoordinatesAsSigned) {
    std::optional<MaskShape> shape = parse(mask({-5, -7, 3, 2}, {{-5, -7, 3, 2}}));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->rects.front(), (MaskRect{-5, -7, 3, 2}));
}

TEST(MaskDataParseTest, ZeroLengthMeansNoMask) {
    Blob b;
    b.u32(0);
    EXPECT_FALSE(parse(b));
    // Whatever follows a zero length belongs to something else.
    Blob after = b;
    const Blob next = mask(kBounds, kRects);
    after.bytes.insert(after.bytes.end(), next.bytes.begin(), next.bytes.end());
    EXPECT_FALSE(parse(after));
}

TEST(MaskDataParseTest, DataCutShortAnywhereIsNoMask) {
    const Blob whole = mask(kBounds, kRects);
    for (size_t size = 0; size < whole.bytes.size(); ++size) {
        // A copy of exactly `size` bytes, so the sanitizer sees any read past it.
        std::vector<uint8_t> cut(whole.bytes.begin(), whole.bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(ui::parseMask2(cut.data(), cut.size())) << size << " bytes";
    }
    EXPECT_FALSE(ui::parseMask2(nullptr, 0));
}

TEST(MaskDataParseTest, BytesAfterTheRegionDataAreNotLookedAt) {
    Blob b = mask(kBounds, kRects);
    b.u32(0xDEADBEEF);
    std::optional<MaskShape> shape = parse(b);
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->rects, kRects);
}

TEST(MaskDataParseTest, HeaderFieldsThatDisagreeWithTheListAreNoMask) {
    EXPECT_FALSE(parse(mask(kBounds, kRects, 40))) << "header size";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 2))) << "region type";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 1, 3))) << "count below the list";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 1, 5, -1, 32 + 16 * 4))) << "count beyond N";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 1, -1, 48))) << "list byte count";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 1, -1, -1, 20))) << "N below the header";
    EXPECT_FALSE(parse(mask(kBounds, kRects, 32, 1, 0xFFFFFFFF, -1, 32 + 16 * 4))) << "a huge count";
}

TEST(MaskDataParseTest, ListByteCountLeftAtZeroIsAccepted) {
    std::optional<MaskShape> shape = parse(mask(kBounds, kRects, 32, 1, -1, 0));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->rects.size(), 4u);
}

TEST(MaskDataParseTest, AListWithoutRectanglesIsNoMask) {
    // An empty region would hide the whole window and let every click through.
    EXPECT_FALSE(parse(mask(kBounds, {})));
}

TEST(MaskDataParseTest, RectanglesThatCannotMakeARegionAreNoMask) {
    auto with = [](std::vector<MaskRect> rects, MaskRect bounds = {0, 0, 100, 100}) { return parse(mask(bounds, rects)); };
    EXPECT_FALSE(with({{10, 10, 10, 20}})) << "no width";
    EXPECT_FALSE(with({{10, 20, 30, 20}})) << "no height";
    EXPECT_FALSE(with({{30, 10, 10, 20}})) << "right before left";
    EXPECT_FALSE(with({{0, 0, 101, 10}})) << "beyond the bounds";
    EXPECT_FALSE(with({{-1, 0, 10, 10}})) << "before the bounds";
    EXPECT_FALSE(with({{0, 0, 10, 10}}, {0, 0, 0, 0})) << "empty bounds";
    EXPECT_FALSE(with({{0, 10, 10, 20}, {0, 0, 10, 10}})) << "bands bottom to top";
    EXPECT_FALSE(with({{20, 0, 30, 10}, {0, 0, 10, 10}})) << "right to left within a band";
    EXPECT_FALSE(with({{0, 0, 20, 10}, {10, 0, 30, 10}})) << "overlap within a band";
    EXPECT_FALSE(with({{0, 0, 20, 10}, {0, 5, 20, 15}})) << "overlapping bands";
    EXPECT_FALSE(with({{0, 0, 1 << 28, 10}}, {0, 0, 1 << 28, 10})) << "beyond the system's coordinates";
    EXPECT_TRUE(with({{0, 0, 20, 10}, {20, 0, 30, 10}, {0, 10, 5, 12}})) << "touching is allowed";
}

TEST(MaskDataParseTest, DamagedDataNeverGivesAListOutOfOrderOrOutsideItsBounds) {
    const Blob whole = mask(kBounds, kRects);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    int parsed = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> damaged = whole.bytes;
        for (int hits = 1 + static_cast<int>(next() % 3); hits > 0; --hits)
            damaged[next() % damaged.size()] = static_cast<uint8_t>(next());
        damaged.resize(damaged.size() - next() % 3);
        std::optional<MaskShape> shape = ui::parseMask2(damaged.data(), damaged.size());
        if (!shape) continue;
        ++parsed;
        ASSERT_FALSE(shape->rects.empty());
        ASSERT_TRUE(bandOrdered(shape->rects));
        for (const MaskRect& r : shape->rects) {
            ASSERT_LT(r.left, r.right);
            ASSERT_LT(r.top, r.bottom);
            ASSERT_GE(r.left, shape->bounds.left);
            ASSERT_GE(r.top, shape->bounds.top);
            ASSERT_LE(r.right, shape->bounds.right);
            ASSERT_LE(r.bottom, shape->bounds.bottom);
        }
    }
    EXPECT_GT(parsed, 0);  // some damage stays a valid list (a moved coordinate)
}

TEST(MaskDataEncodeTest, WritesTheStoredLayoutWithTheBoundsOfItsRectangles) {
    EXPECT_EQ(ui::encodeMask2(kRects), mask(kBounds, kRects).bytes);
}

TEST(MaskDataEncodeTest, NoRectangleIsStoredAsZeroLength) {
    EXPECT_EQ(ui::encodeMask2({}), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(MaskFromPixelsTest, RowsAlikeShareOneBand) {
    // ..##.
    // ..##.
    // .####
    // .#..#
    auto picture = [](int x, int y) {
        static const char* rows[] = {"..##.", "..##.", ".####", ".#..#"};
        return rows[y][x] == '#';
    };
    EXPECT_EQ(ui::maskFromPixels(5, 4, picture),
              (std::vector<MaskRect>{{2, 0, 4, 2}, {1, 2, 5, 3}, {1, 3, 2, 4}, {4, 3, 5, 4}}));
}

TEST(MaskFromPixelsTest, EqualRowsAroundAnEmptyRowStayApart) {
    auto picture = [](int x, int y) { return y != 1 && x < 2; };
    EXPECT_EQ(ui::maskFromPixels(3, 3, picture), (std::vector<MaskRect>{{0, 0, 2, 1}, {0, 2, 2, 3}}));
}

TEST(MaskFromPixelsTest, APictureWithoutOpaquePixelsHasNoRectangle) {
    EXPECT_TRUE(ui::maskFromPixels(4, 4, [](int, int) { return false; }).empty());
    EXPECT_TRUE(ui::maskFromPixels(0, 0, [](int, int) { return true; }).empty());
}

TEST(MaskFromPixelsTest, RectanglesCoverExactlyTheOpaquePixelsAndReadBackStored) {
    // A ring with a notch: rows of one and of two runs, bands of many heights.
    auto opaque = [](int x, int y) {
        const int dx = x - 40, dy = y - 30, d2 = dx * dx + dy * dy;
        return d2 <= 28 * 28 && d2 >= 12 * 12 && !(x > 55 && y > 25 && y < 33);
    };
    const std::vector<MaskRect> rects = ui::maskFromPixels(80, 60, opaque);
    std::set<std::pair<int, int>> expected;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            if (opaque(x, y)) expected.insert({x, y});
    EXPECT_EQ(pixelsOf(rects), expected);
    EXPECT_TRUE(bandOrdered(rects));

    const std::vector<uint8_t> stored = ui::encodeMask2(rects);
    std::optional<MaskShape> shape = ui::parseMask2(stored.data(), stored.size());
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->rects, rects);
    MaskRect bounds{80, 60, 0, 0};
    for (const auto& [x, y] : expected)
        bounds = {std::min(bounds.left, x), std::min(bounds.top, y), std::max(bounds.right, x + 1),
                  std::max(bounds.bottom, y + 1)};
    EXPECT_EQ(shape->bounds, bounds);
}
