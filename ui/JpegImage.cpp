// JPEG decoding through libjpeg. Its errors come back by longjmp, so the decoding function
// holds no object with a destructor across the jump.
#include "ui/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <jpeglib.h>
}

namespace ui {
namespace {

// Pictures larger than this are refused rather than allocated.
constexpr JDIMENSION kMaxSide = 4096;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}

// Fills `out` and returns true, or leaves a message in `err` and returns false.
bool decode(const uint8_t* data, size_t size, HBITMAP& out, int& width, int& height, ErrorManager& err) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    volatile HBITMAP bitmap = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    // The declared size is checked before the decoder sizes its buffers by it: a progressive
    // picture needs all its coefficients in memory before the first row comes out.
    auto refuse = [&] {
        std::snprintf(err.message, sizeof err.message, "unsupported picture size or colour layout");
        jpeg_destroy_decompress(&info);
        return false;
    };
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxSide ||
        info.image_height > kMaxSide)
        return refuse();
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
        info.output_height > kMaxSide || info.output_components != 3)
        return refuse();
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = static_cast<LONG>(info.output_width);
    bmi.bmiHeader.biHeight = -static_cast<LONG>(info.output_height);
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        std::snprintf(err.message, sizeof err.message, "cannot create a bitmap");
        jpeg_destroy_decompress(&info);
        return false;
    }
    const size_t stride = (static_cast<size_t>(info.output_width) * 3 + 3) & ~size_t{3};
    while (info.output_scanline < info.output_height) {
        auto* row = static_cast<uint8_t*>(bits) + stride * info.output_scanline;
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&info, rows, 1);
        for (JDIMENSION x = 0; x < info.output_width; ++x) std::swap(row[3 * x], row[3 * x + 2]);  // RGB to BGR
    }
    jpeg_finish_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    out = bitmap;
    return true;
}

}  // namespace

DecodedBitmap decodeJpeg(const uint8_t* data, size_t size) {
    ErrorManager err{};
    HBITMAP bitmap = nullptr;
    DecodedBitmap result;
    if (!data || size == 0 || !decode(data, size, bitmap, result.width, result.height, err))
        throw std::runtime_error(std::string("Cannot decode picture: ") + (size ? err.message : "no data"));
    result.bitmap.reset(bitmap);
    return result;
}

}  // namespace ui
