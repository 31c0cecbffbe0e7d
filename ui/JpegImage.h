// Decodes a JPEG picture (the about box's) into a bitmap the window can draw.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "win32/UniqueHandle.h"

namespace ui {

struct DecodedBitmap {
    win::UniqueGdiObject bitmap;  // a 24-bit top-down DIB section
    int width = 0;
    int height = 0;
};

// Raises std::runtime_error with libjpeg's message when the data is not a picture it can
// decode; never exits the program or reads past `size`.
DecodedBitmap decodeJpeg(const uint8_t* data, size_t size);

}  // namespace ui
