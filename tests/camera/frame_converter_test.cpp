// The frame conversion: luma extraction and its orientation per format, the
// rgb24 blue channel, the preview expansion, and the bounds of short frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "camera/frame_converter.h"

namespace camera {
namespace {

// A YUY2 frame whose luma samples are `luma` (chroma bytes 0x80).
std::vector<uint8_t> Yuy2(const std::vector<uint8_t>& luma) {
    std::vector<uint8_t> frame;
    for (uint8_t y : luma) {
        frame.push_back(y);
        frame.push_back(0x80);
    }
    return frame;
}

std::vector<uint8_t> Gray(FrameConverter& converter, const std::vector<uint8_t>& frame, bool* converted = nullptr) {
    std::vector<uint8_t> gray(static_cast<size_t>(converter.Width()) * converter.Height(), 0xEE);
    const bool ok = converter.ConvertGray(frame.data(), frame.size(), gray.data());
    if (converted) *converted = ok;
    return gray;
}

TEST(FrameConverterTest, FormatNamesAreExact) {
    EXPECT_EQ(ParseFrameFormat("yuv_0130"), FrameFormat::Yuv0130);
    EXPECT_EQ(ParseFrameFormat("yuv_0330"), FrameFormat::Yuv0330);
    EXPECT_EQ(ParseFrameFormat("rgb24"), FrameFormat::Rgb24);
    EXPECT_EQ(ParseFrameFormat(""), FrameFormat::Unknown);
    EXPECT_EQ(ParseFrameFormat("YUV_0130"), FrameFormat::Unknown);
    EXPECT_EQ(ParseFrameFormat("rgb24 "), FrameFormat::Unknown);
}

TEST(FrameConverterTest, YuvLumaKeepsOrderFor0130AndTurnsFor0330) {
    FrameConverter converter;
    converter.SetFrameSize(2, 2);
    const std::vector<uint8_t> frame = {10, 1, 20, 2, 30, 3, 40, 4};  // Y0 U Y1 V Y2 U Y3 V
    converter.SetFormat(FrameFormat::Yuv0130);
    EXPECT_EQ(Gray(converter, frame), (std::vector<uint8_t>{10, 20, 30, 40}));
    converter.SetFormat(FrameFormat::Yuv0330);
    EXPECT_EQ(Gray(converter, frame), (std::vector<uint8_t>{40, 30, 20, 10}));

    // 3 x 2: rows reversed and each row mirrored.
    converter.SetFrameSize(3, 2);
    EXPECT_EQ(Gray(converter, Yuy2({1, 2, 3, 4, 5, 6})), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
}

TEST(FrameConverterTest, Rgb24GrayIsTheBlueChannelTurnedUprightAndMirrored) {
    FrameConverter converter;
    converter.SetFrameSize(3, 2);
    converter.SetFormat(FrameFormat::Rgb24);
    // Bottom-up source: row 0 is the bottom row. Pixel bytes B, G, R.
    const std::vector<uint8_t> frame = {
        1, 100, 200, 2, 100, 200, 3, 100, 200,  // bottom row
        4, 100, 200, 5, 100, 200, 6, 100, 200,  // top row
    };
    bool converted = false;
    EXPECT_EQ(Gray(converter, frame, &converted), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
    EXPECT_TRUE(converted);
}

// Rows of odd length exercise the groups of pixels written together and their tail.
TEST(FrameConverterTest, PreviewMatchesPixelByPixelExpansionOnOddSizes) {
    constexpr int kW = 13, kH = 3, kN = kW * kH;
    FrameConverter converter;
    converter.SetFrameSize(kW, kH);
    converter.SetFormat(FrameFormat::Yuv0130);
    std::vector<uint8_t> luma(kN);
    for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i * 11 + 3);
    const std::vector<uint8_t> frame = Yuy2(luma);
    std::vector<uint8_t> expected(3 * kN), expectedTurned(3 * kN);
    for (size_t i = 0; i < kN; ++i)
        for (int k = 0; k < 3; ++k) {
            expected[3 * i + k] = luma[i];
            expectedTurned[3 * (kN - 1 - i) + k] = luma[i];
        }
    const uint8_t* plain = converter.Preview(frame.data(), frame.size(), false);
    EXPECT_EQ(std::vector<uint8_t>(plain, plain + 3 * kN), expected);
    const uint8_t* turned = converter.Preview(frame.data(), frame.size(), true);
    EXPECT_EQ(std::vector<uint8_t>(turned, turned + 3 * kN), expectedTurned);
    const std::vector<uint8_t> gray = Gray(converter, frame);
    const uint8_t* fromGray = converter.Preview(frame.data(), frame.size(), true, gray.data());
    EXPECT_EQ(std::vector<uint8_t>(fromGray, fromGray + 3 * kN), expectedTurned);
}

TEST(FrameConverterTest, ShortFramesStayInsideTheBuffers) {
    FrameConverter converter;
    converter.SetFrameSize(2, 2);
    converter.SetFormat(FrameFormat::Rgb24);
    const std::vector<uint8_t> shortRgb(2 * 2 * 3 - 1, 9);
    bool converted = true;
    EXPECT_EQ(Gray(converter, shortRgb, &converted), std::vector<uint8_t>(4, 0xEE));
    EXPECT_FALSE(converted);
    EXPECT_EQ(converter.Preview(shortRgb.data(), shortRgb.size(), true), nullptr);

    // A short YUY2 frame converts the luma it has and leaves the rest.
    converter.SetFormat(FrameFormat::Yuv0130);
    EXPECT_EQ(Gray(converter, Yuy2({7, 8})), (std::vector<uint8_t>{7, 8, 0xEE, 0xEE}));
    // A longer one takes no more than width x height samples.
    EXPECT_EQ(Gray(converter, Yuy2({1, 2, 3, 4, 5, 6})), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(FrameConverterTest, YuvPreviewIsGrayBgrTurnedFor0130WhenPainted) {
    FrameConverter converter;
    converter.SetFrameSize(2, 2);
    converter.SetFormat(FrameFormat::Yuv0130);
    const std::vector<uint8_t> frame = Yuy2({10, 20, 30, 40});
    const uint8_t* painted = converter.Preview(frame.data(), frame.size(), true);
    ASSERT_NE(painted, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(painted, painted + 12),
              (std::vector<uint8_t>{40, 40, 40, 30, 30, 30, 20, 20, 20, 10, 10, 10}));
    // From the gray image of the same frame: the same preview.
    const std::vector<uint8_t> gray = Gray(converter, frame);
    const uint8_t* fromGray = converter.Preview(frame.data(), frame.size(), true, gray.data());
    EXPECT_EQ(std::vector<uint8_t>(fromGray, fromGray + 12),
              (std::vector<uint8_t>{40, 40, 40, 30, 30, 30, 20, 20, 20, 10, 10, 10}));
    const uint8_t* plain = converter.Preview(frame.data(), frame.size(), false);
    EXPECT_EQ(std::vector<uint8_t>(plain, plain + 12),
              (std::vector<uint8_t>{10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}));
    converter.SetFormat(FrameFormat::Yuv0330);
    const uint8_t* kept = converter.Preview(frame.data(), frame.size(), true);
    EXPECT_EQ(std::vector<uint8_t>(kept, kept + 12),
              (std::vector<uint8_t>{10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}));
    // rgb24 paints the delivered buffer itself.
    converter.SetFormat(FrameFormat::Rgb24);
    const std::vector<uint8_t> rgb(12, 5);
    EXPECT_EQ(converter.Preview(rgb.data(), rgb.size(), true), rgb.data());
}

}  // namespace
}  // namespace camera
