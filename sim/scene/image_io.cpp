#include "sim/scene/image_io.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace k7qsim {
namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
void Put32Be(std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
}
void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    Put32Be(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Put32Be(png, Crc32(png.data() + start, png.size() - start));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static uint32_t table[256];
    static bool ready = [] {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return true;
    }();
    (void)ready;
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

uint64_t Fnv1a64(const uint8_t* data, size_t size) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001B3ull;
    return h;
}

std::vector<uint8_t> EncodePgm(const uint8_t* pixels, int width, int height) {
    const std::string head = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> v(head.begin(), head.end());
    v.insert(v.end(), pixels, pixels + static_cast<size_t>(width) * height);
    return v;
}

std::vector<uint8_t> EncodeBmp(const uint8_t* pixels, int width, int height) {
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t image = stride * static_cast<uint32_t>(height), offset = 14 + 40 + 1024;
    std::vector<uint8_t> v;
    v.reserve(offset + image);
    v.push_back('B');
    v.push_back('M');
    Put32(v, offset + image);
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, static_cast<uint32_t>(width));
    Put32(v, static_cast<uint32_t>(height));
    Put16(v, 1);
    Put16(v, 8);
    Put32(v, 0);
    Put32(v, image);
    for (int i = 0; i < 4; ++i) Put32(v, 0);
    for (uint32_t i = 0; i < 256; ++i) Put32(v, i | (i << 8) | (i << 16));
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * width;
        v.insert(v.end(), row, row + width);
        for (uint32_t p = static_cast<uint32_t>(width); p < stride; ++p) v.push_back(0);
    }
    return v;
}

std::vector<uint8_t> EncodePng(const uint8_t* pixels, int width, int height) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    Put32Be(ihdr, static_cast<uint32_t>(width));
    Put32Be(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // 8-bit gray, no interlace
    Chunk(png, "IHDR", ihdr);
    std::vector<uint8_t> raw;  // each row: filter type 0, then the pixels
    raw.reserve(static_cast<size_t>(width + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels + static_cast<size_t>(y) * width, pixels + static_cast<size_t>(y + 1) * width);
    }
    std::vector<uint8_t> z = {0x78, 0x01};  // zlib header, stored blocks follow
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        const size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        Put16(z, static_cast<uint32_t>(n));
        Put16(z, static_cast<uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos), raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
        if (n == 0) break;
    }
    Put32Be(z, Adler32(raw.data(), raw.size()));
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> Downsample(const uint8_t* pixels, int width, int height, int f) {
    const int w = width / f, h = height / f;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t s = 0;
            for (int j = 0; j < f; ++j)
                for (int i = 0; i < f; ++i) s += pixels[static_cast<size_t>(y * f + j) * width + x * f + i];
            out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((s + f * f / 2) / (f * f));
        }
    return out;
}

}  // namespace k7qsim
