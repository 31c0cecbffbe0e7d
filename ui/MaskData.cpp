// Reading and writing the "Mask2" rectangle list; no window, no system call.
#include "ui/MaskData.h"

#include <algorithm>
#include <limits>

namespace ui {

namespace {

// The system keeps region coordinates in 28 signed bits; a list beyond that cannot be a
// region, and the check keeps every later width and height sum inside 32 bits.
constexpr int32_t kCoordinateLimit = 1 << 27;

uint32_t u32le(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int32_t i32le(const uint8_t* p) {
    const uint32_t v = u32le(p);
    return v <= uint32_t{std::numeric_limits<int32_t>::max()} ? static_cast<int32_t>(v)
                                                               : -static_cast<int32_t>(~v) - 1;
}

MaskRect rectAt(const uint8_t* p) { return {i32le(p), i32le(p + 4), i32le(p + 8), i32le(p + 12)}; }

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putRect(std::vector<uint8_t>& out, const MaskRect& r) {
    for (int32_t v : {r.left, r.top, r.right, r.bottom}) put32(out, static_cast<uint32_t>(v));
}

bool withinLimits(const MaskRect& r) {
    for (int32_t v : {r.left, r.top, r.right, r.bottom})
        if (v < -kCoordinateLimit || v > kCoordinateLimit) return false;
    return r.left < r.right && r.top < r.bottom;
}

bool inside(const MaskRect& r, const MaskRect& bounds) {
    return r.left >= bounds.left && r.top >= bounds.top && r.right <= bounds.right && r.bottom <= bounds.bottom;
}

// Whether `next` may follow `prev` in a banded list: further right in the same band
// without touching it, or in a band wholly below.
bool follows(const MaskRect& prev, const MaskRect& next) {
    if (next.top == prev.top && next.bottom == prev.bottom) return next.left >= prev.right;
    return next.top >= prev.bottom;
}

}  // namespace

std::optional<MaskShape> parseMask2(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 4) return std::nullopt;
    const uint64_t n = u32le(data);
    if (n == 0 || n > size - 4 || n < kMaskHeaderSize) return std::nullopt;
    const uint8_t* header = data + 4;
    const uint64_t count = u32le(header + 8);
    const uint32_t listBytes = u32le(header + 12);
    if (u32le(header) != kMaskHeaderSize || u32le(header + 4) != kMaskRectangleType) return std::nullopt;
    if (count == 0 || n != kMaskHeaderSize + 16 * count) return std::nullopt;
    // Writers that leave the list's byte count out put 0 there.
    if (listBytes != 0 && listBytes != 16 * count) return std::nullopt;

    MaskShape shape;
    shape.bounds = rectAt(header + 16);
    if (!withinLimits(shape.bounds)) return std::nullopt;
    shape.rects.reserve(static_cast<size_t>(count));
    const uint8_t* p = header + kMaskHeaderSize;
    for (uint64_t i = 0; i < count; ++i, p += 16) {
        const MaskRect r = rectAt(p);
        if (!withinLimits(r) || !inside(r, shape.bounds)) return std::nullopt;
        if (!shape.rects.empty() && !follows(shape.rects.back(), r)) return std::nullopt;
        shape.rects.push_back(r);
    }
    return shape;
}

std::vector<uint8_t> encodeMask2(const std::vector<MaskRect>& rects) {
    std::vector<uint8_t> out;
    if (rects.empty()) {
        put32(out, 0);
        return out;
    }
    MaskRect bounds = rects.front();
    for (const MaskRect& r : rects) {
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    const auto listBytes = static_cast<uint32_t>(16 * rects.size());
    out.reserve(4 + kMaskHeaderSize + listBytes);
    put32(out, static_cast<uint32_t>(kMaskHeaderSize) + listBytes);
    put32(out, static_cast<uint32_t>(kMaskHeaderSize));
    put32(out, kMaskRectangleType);
    put32(out, static_cast<uint32_t>(rects.size()));
    put32(out, listBytes);
    putRect(out, bounds);
    for (const MaskRect& r : rects) putRect(out, r);
    return out;
}

std::vector<MaskRect> maskFromPixels(int width, int height, const std::function<bool(int, int)>& opaque) {
    std::vector<MaskRect> rects;
    // The runs of the row being looked at, and where the band of equal rows began.
    std::vector<MaskRect> band, row;
    auto closeBand = [&] { rects.insert(rects.end(), band.begin(), band.end()); };
    for (int y = 0; y < height; ++y) {
        row.clear();
        for (int x = 0; x < width;) {
            if (!opaque(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && opaque(x, y)) ++x;
            row.push_back({start, y, x, y + 1});
        }
        bool same = !band.empty() && row.size() == band.size() && band.front().bottom == y;
        for (size_t i = 0; same && i < row.size(); ++i)
            same = row[i].left == band[i].left && row[i].right == band[i].right;
        if (same) {
            for (MaskRect& r : band) r.bottom = y + 1;
        } else {
            closeBand();
            band = row;
        }
    }
    closeBand();
    return rects;
}

}  // namespace ui
