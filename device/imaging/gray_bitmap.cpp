#include "device/imaging/gray_bitmap.h"

#include <algorithm>
#include <cstring>

namespace {

void Put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

}  // namespace

void WriteGrayBitmapHeaders(uint8_t* bitmap, int32_t width, int32_t height) {
    const uint32_t pixels = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    std::memset(bitmap, 0, kBitmapPaletteOffset);
    bitmap[0] = 'B';
    bitmap[1] = 'M';
    Put32(bitmap + 2, kBitmapPixelOffset + pixels);
    Put32(bitmap + 10, kBitmapPixelOffset);
    Put32(bitmap + 14, kBitmapInfoHeaderBytes);
    Put32(bitmap + 18, static_cast<uint32_t>(width));
    Put32(bitmap + 22, static_cast<uint32_t>(height));  // positive: bottom row first
    Put16(bitmap + 26, 1);                               // planes
    Put16(bitmap + 28, 8);                               // bits per pixel
    Put32(bitmap + 34, pixels);                          // compression 0, resolutions and colour counts 0
    uint8_t* palette = bitmap + kBitmapPaletteOffset;
    for (int32_t i = 0; i < 256; ++i) {
        palette[4 * i] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<uint8_t>(i);
        palette[4 * i + 3] = 0;
    }
}

void FlipRows(uint8_t* image, int32_t rows, int32_t width) {
    for (int32_t i = 0; i < rows / 2; ++i) {
        std::swap_ranges(image + i * width, image + (i + 1) * width, image + (rows - 1 - i) * width);
    }
}

int32_t MakeGrayBitmap(uint8_t* pixels, uint8_t* bitmap) {
    if (pixels == nullptr || bitmap == nullptr) {
        return -1;
    }
    FlipRows(pixels, kViewHeight, kViewWidth);
    WriteGrayBitmapHeaders(bitmap, kViewWidth, kViewHeight);
    std::memcpy(bitmap + kBitmapPixelOffset, pixels, kViewBytes);
    return 1;
}
