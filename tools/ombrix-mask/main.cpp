// ombrix-mask: makes a skinned window's stored shape ("Mask2") from its skin picture.
//   ombrix-mask SKIN.bmp OUT [--size WIDTHxHEIGHT] [--key RRGGBB]
// Every pixel of the skin that is not the transparent colour (by default the colour of its
// top-left pixel) belongs to the window; with --size only the top-left WIDTH x HEIGHT
// pixels count, the part of the skin the window's client area can show. OUT receives the
// "Mask2" bytes; stdout one line: "R rectangles in B bands, bounds (L, T)-(R, B)", with a
// "\n" line end on every platform.
// A skin it cannot read, or one without a single window pixel, is an error: a message on
// stderr and exit code 1. Wrong arguments: usage on stderr and exit code 2.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "ui/MaskData.h"

namespace {

constexpr const char* kUsage = "usage: ombrix-mask SKIN.bmp OUT [--size WIDTHxHEIGHT] [--key RRGGBB]\n";
// Far beyond any window; keeps every size product inside 64 bits and the file read sane.
constexpr int64_t kMaxSide = 32768;
constexpr size_t kMaxFileSize = size_t{256} << 20;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A 24-bit uncompressed BMP, the only kind a skin is stored as.
//   OFFSET  SIZE  DESCRIPTION
//   0       2     "BM"
//   10      4     offset of the pixel rows
//   14      4     info header size, 40 or more
//   18      4     width (signed, > 0)
//   22      4     height (signed; negative: rows stored top down)
//   26      2     planes, 1
//   28      2     bits per pixel, 24
//   30      4     compression, 0
// Rows are blue, green, red triples, each row padded to 4 bytes.
class Bitmap {
public:
    explicit Bitmap(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        if (bytes_.size() < 54 || bytes_[0] != 'B' || bytes_[1] != 'M') fail("not a BMP picture");
        const uint32_t offBits = u32(10), infoSize = u32(14);
        const auto w = static_cast<int32_t>(u32(18)), h = static_cast<int32_t>(u32(22));
        if (infoSize < 40 || infoSize > bytes_.size() - 14) fail("a BMP info header it cannot read");
        if (u16(26) != 1 || u16(28) != 24 || u32(30) != 0) fail("not an uncompressed 24-bit picture");
        if (w <= 0 || w > kMaxSide || h == 0 || h < -kMaxSide || h > kMaxSide) fail("a picture size out of range");
        width_ = w;
        height_ = h < 0 ? -h : h;
        topDown_ = h < 0;
        stride_ = (static_cast<int64_t>(width_) * 3 + 3) & ~int64_t{3};
        pixels_ = offBits;
        if (offBits < 14 + infoSize || offBits > bytes_.size() ||
            stride_ * height_ > static_cast<int64_t>(bytes_.size() - offBits))
            fail("pixel rows that go past the end of the file");
    }

    int width() const { return width_; }
    int height() const { return height_; }
    // Red, green, blue of the pixel at (x, y), y counted from the top.
    uint32_t rgb(int x, int y) const {
        const int64_t row = topDown_ ? y : height_ - 1 - y;
        const size_t at = pixels_ + static_cast<size_t>(row * stride_ + int64_t{x} * 3);
        return uint32_t{bytes_[at + 2]} << 16 | uint32_t{bytes_[at + 1]} << 8 | bytes_[at];
    }

private:
    [[noreturn]] static void fail(const std::string& what) { throw std::runtime_error("the skin is " + what); }
    uint32_t u16(size_t at) const { return uint32_t{bytes_[at]} | uint32_t{bytes_[at + 1]} << 8; }
    uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }

    std::vector<uint8_t> bytes_;
    int width_ = 0, height_ = 0;
    bool topDown_ = false;
    int64_t stride_ = 0;
    size_t pixels_ = 0;
};

std::vector<uint8_t> readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + name);
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxFileSize) throw std::runtime_error(name + " is too large for a skin");
    }
    return bytes;
}

int parseSide(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError("--size takes WIDTHxHEIGHT");
    const int v = std::stoi(text);
    if (v <= 0 || v > kMaxSide) throw UsageError("--size takes WIDTHxHEIGHT");
    return v;
}

int run(int argc, char** argv) {
    std::vector<std::string> positional;
    int clipWidth = 0, clipHeight = 0;
    bool haveKey = false;
    uint32_t key = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" || arg == "--key") {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--size") {
                const size_t x = value.find('x');
                if (x == std::string::npos) throw UsageError("--size takes WIDTHxHEIGHT");
                clipWidth = parseSide(value.substr(0, x));
                clipHeight = parseSide(value.substr(x + 1));
            } else {
                if (value.size() != 6 || value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                    throw UsageError("--key takes RRGGBB in hexadecimal");
                key = static_cast<uint32_t>(std::stoul(value, nullptr, 16));
                haveKey = true;
            }
        } else if (arg.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) throw UsageError("a skin and an output file are needed");

    const Bitmap skin(readFile(positional[0]));
    if (!haveKey) key = skin.rgb(0, 0);
    const int width = clipWidth ? std::min(clipWidth, skin.width()) : skin.width();
    const int height = clipHeight ? std::min(clipHeight, skin.height()) : skin.height();
    const std::vector<ui::MaskRect> rects =
        ui::maskFromPixels(width, height, [&](int x, int y) { return skin.rgb(x, y) != key; });
    if (rects.empty()) throw std::runtime_error("the skin has no pixel but the transparent colour");

    const std::vector<uint8_t> bytes = ui::encodeMask2(rects);
    std::ofstream out(positional[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + positional[1]);

    std::set<std::pair<int32_t, int32_t>> bands;
    for (const ui::MaskRect& r : rects) bands.insert({r.top, r.bottom});
    const ui::MaskShape shape = *ui::parseMask2(bytes.data(), bytes.size());
    std::cout << rects.size() << " rectangles in " << bands.size() << " bands, bounds (" << shape.bounds.left
              << ", " << shape.bounds.top << ")-(" << shape.bounds.right << ", " << shape.bounds.bottom << ")\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // "\n" line ends on every platform, as the tests read them.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    try {
        return run(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "ombrix-mask: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "ombrix-mask: " << e.what() << "\n";
        return 1;
    }
}
