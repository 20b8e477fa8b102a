// The 8-bit grayscale BMP file image every eye image travels in: 14-byte
// file header, 40-byte information header, a 256-entry gray palette and the
// 640x480 pixels bottom row first. All fields little-endian.
#pragma once

#include <cstdint>

#include "device/device_contract.h"  // BitmapFileSize
#include "device/eye_records.h"      // kViewWidth, kViewHeight, kViewBytes

constexpr int32_t kBitmapFileHeaderBytes = 14;
constexpr int32_t kBitmapInfoHeaderBytes = 40;
constexpr int32_t kBitmapPaletteOffset = kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes;  // 54
constexpr int32_t kBitmapPaletteBytes = 256 * 4;
constexpr int32_t kBitmapPixelOffset = kBitmapPaletteOffset + kBitmapPaletteBytes;  // 1078
static_assert(BitmapFileSize == kBitmapPixelOffset + kViewBytes, "header, palette and 640x480 pixels");

// Writes the headers and the gray palette of a width x height 8-bit file
// image (kBitmapPixelOffset bytes; width a multiple of 4, rows unpadded).
void WriteGrayBitmapHeaders(uint8_t* bitmap, int32_t width, int32_t height);

// Swaps row i with row rows - 1 - i of a rows x width image, in place.
void FlipRows(uint8_t* image, int32_t rows, int32_t width);

// Flips the 640x480 view in place (it is left bottom-up) and writes the
// BitmapFileSize-byte file image: header, palette (i, i, i, 0), pixels.
// -1 when either argument is null, else 1.
int32_t MakeGrayBitmap(uint8_t* pixels, uint8_t* bitmap);
