// Encoders for 8-bit gray pictures (PGM, bottom-up BMP with a gray palette,
// PNG with stored deflate blocks) and a digest to pin rendered bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace k7qsim {

std::vector<uint8_t> EncodePgm(const uint8_t* pixels, int width, int height);
std::vector<uint8_t> EncodeBmp(const uint8_t* pixels, int width, int height);
std::vector<uint8_t> EncodePng(const uint8_t* pixels, int width, int height);

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size);
uint64_t Fnv1a64(const uint8_t* data, size_t size);

// Area-average reduction by an integer factor (for thumbnails).
std::vector<uint8_t> Downsample(const uint8_t* pixels, int width, int height, int factor);

}  // namespace k7qsim
