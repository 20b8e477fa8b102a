// The vectorised conversion against a plain byte-by-byte reference on random
// frames: sizes around the 16-pixel groups, partial rows and odd byte tails,
// for "yuv_0130", "yuv_0330" and "rgb24", gray image and preview alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "camera/frame_converter.h"

namespace camera {
namespace {

struct Size {
    int width, height;
};

std::vector<uint8_t> RandomBytes(size_t count, std::mt19937& random) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// Row order reversed, then the bytes within each row of `rowBytes`.
void TurnHalfway(std::vector<uint8_t>& image, size_t rowBytes) {
    const size_t rows = image.size() / rowBytes;
    for (size_t r = 0; r < rows / 2; ++r)
        std::swap_ranges(image.begin() + r * rowBytes, image.begin() + (r + 1) * rowBytes,
                         image.begin() + (rows - 1 - r) * rowBytes);
    for (size_t r = 0; r < rows; ++r) std::reverse(image.begin() + r * rowBytes, image.begin() + (r + 1) * rowBytes);
}

// The gray image step by step, untouched bytes 0xEE.
std::vector<uint8_t> ReferenceGray(FrameFormat format, Size size, const std::vector<uint8_t>& frame) {
    const size_t w = size.width, h = size.height, pixels = w * h;
    std::vector<uint8_t> gray(pixels, 0xEE);
    if (format == FrameFormat::Rgb24) {
        if (frame.size() < pixels * 3) return gray;
        for (size_t i = 0; i < h; ++i)
            for (size_t j = 0; j < w; ++j) gray[i * w + j] = frame[((h - 1 - i) * w + j) * 3];
        for (size_t i = 0; i < h; ++i) std::reverse(gray.begin() + i * w, gray.begin() + (i + 1) * w);
        return gray;
    }
    const size_t luma = std::min(pixels, frame.size() / 2);
    for (size_t i = 0; i < luma; ++i) gray[i] = frame[2 * i];
    if (format == FrameFormat::Yuv0330) TurnHalfway(gray, w);
    return gray;
}

// The preview of a first frame (the colour buffer starts zeroed).
std::vector<uint8_t> ReferencePreview(FrameFormat format, Size size, const std::vector<uint8_t>& frame, bool painting) {
    const size_t pixels = static_cast<size_t>(size.width) * size.height;
    std::vector<uint8_t> colour(pixels * 3, 0);
    const size_t luma = std::min(pixels, frame.size() / 2);
    for (size_t i = 0; i < luma; ++i) colour[3 * i] = colour[3 * i + 1] = colour[3 * i + 2] = frame[2 * i];
    if (format == FrameFormat::Yuv0130 && painting) TurnHalfway(colour, static_cast<size_t>(size.width) * 3);
    return colour;
}

void ExpectConversionMatches(FrameFormat format, Size size, const std::vector<uint8_t>& frame) {
    SCOPED_TRACE(::testing::Message() << "format " << static_cast<int>(format) << ", " << size.width << "x"
                                      << size.height << ", " << frame.size() << " bytes");
    const size_t pixels = static_cast<size_t>(size.width) * size.height;
    FrameConverter converter;
    converter.SetFrameSize(size.width, size.height);
    converter.SetFormat(format);
    std::vector<uint8_t> gray(pixels, 0xEE);
    converter.ConvertGray(frame.data(), frame.size(), gray.data());
    EXPECT_EQ(gray, ReferenceGray(format, size, frame));
    if (!IsYuv(format)) return;
    for (bool painting : {false, true}) {
        FrameConverter fresh;
        fresh.SetFrameSize(size.width, size.height);
        fresh.SetFormat(format);
        const uint8_t* preview = fresh.Preview(frame.data(), frame.size(), painting);
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(preview, preview + 3 * pixels), ReferencePreview(format, size, frame, painting))
            << (painting ? "painted" : "kept");
    }
    if (format == FrameFormat::Yuv0130) {  // the preview expanded from the gray image just made
        const uint8_t* preview = converter.Preview(frame.data(), frame.size(), true, gray.data());
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(preview, preview + 3 * pixels), ReferencePreview(format, size, frame, true));
    }
}

TEST(FrameConverterFastPathTest, MatchesPlainConversionOnRandomFrames) {
    std::mt19937 random(20261209);
    const Size sizes[] = {{1, 1}, {7, 3}, {15, 2}, {16, 3}, {17, 4}, {31, 5}, {32, 2}, {33, 3}, {100, 7}, {961, 3}};
    for (const Size size : sizes) {
        const size_t pixels = static_cast<size_t>(size.width) * size.height;
        for (FrameFormat format : {FrameFormat::Yuv0130, FrameFormat::Yuv0330}) {
            // Whole, one byte short (odd tail), a row and a few pixels short, longer than needed.
            for (size_t length : {2 * pixels, 2 * pixels - 1, pixels > 8 ? 2 * (pixels - size.width) - 7 : 1,
                                  2 * pixels + 33})
                ExpectConversionMatches(format, size, RandomBytes(length, random));
        }
        for (size_t length : {3 * pixels, 3 * pixels - 1, 3 * pixels + 5})
            ExpectConversionMatches(FrameFormat::Rgb24, size, RandomBytes(length, random));
    }
}

// The camera's own size, where the whole frame runs through the vector loops.
TEST(FrameConverterFastPathTest, MatchesPlainConversionOnAFullFrame) {
    std::mt19937 random(7);
    for (FrameFormat format : {FrameFormat::Yuv0130, FrameFormat::Yuv0330})
        ExpectConversionMatches(format, {960, 720}, RandomBytes(960 * 720 * 2, random));
}

}  // namespace
}  // namespace camera
