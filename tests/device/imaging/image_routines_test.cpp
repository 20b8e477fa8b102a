// Sharpen, DimIrisDisc, the 640x480 crop and the BMP file image, observed on
// the bytes they write.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/eye_records.h"
#include "device/imaging/crop.h"
#include "device/imaging/dim_iris_disc.h"
#include "device/imaging/gray_bitmap.h"
#include "device/imaging/sharpen.h"

namespace {

using Image = std::vector<uint8_t>;

Image Work(uint8_t fill) { return Image(kWorkBytes, fill); }
uint8_t& At(Image& im, int x, int y) { return im[y * kWorkSide + x]; }
uint8_t Pattern(int x, int y) { return static_cast<uint8_t>(x * 7 + y * 13); }

uint32_t Read32(const Image& b, int at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint32_t Read16(const Image& b, int at) { return b[at] | b[at + 1] << 8; }

TEST(SharpenTest, InteriorPixelUsesShiftedNeighbourSumOfTheSource) {
    Image src = Work(100), dst = Work(0);
    At(src, 10, 10) = 140;
    Sharpen(src.data(), dst.data());
    EXPECT_EQ(At(dst, 10, 10), 180);  // 280 - (800 >> 3)
    // Neighbours see the source 140, not the sharpened 180: 200 - (840 >> 3).
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx || dy) {
                EXPECT_EQ(At(dst, 10 + dx, 10 + dy), 95) << dx << "," << dy;
            }
        }
    }
    EXPECT_EQ(At(dst, 12, 10), 100);
    // 807 >> 3 is 100 (a rounded mean would give 101).
    Image odd = Work(100), out = Work(0);
    At(odd, 20, 21) = 107;
    Sharpen(odd.data(), out.data());
    EXPECT_EQ(At(out, 20, 20), 100);
}

TEST(SharpenTest, ClampsAndLeavesTheBorder) {
    Image src = Work(0), dst = Work(7);
    At(src, 100, 100) = 255;  // 510 - 0
    for (int x = 199; x <= 201; ++x)
        for (int y = 199; y <= 201; ++y) At(src, x, y) = 255;
    At(src, 200, 200) = 0;  // 0 - 255
    // Border pixels keep their value even where the rule would change them.
    At(src, 0, 5) = 200;
    At(src, 719, 5) = 10;
    At(src, 5, 719) = 30;
    At(src, 0, 0) = 1;
    Sharpen(src.data(), dst.data());
    EXPECT_EQ(At(dst, 100, 100), 255);
    EXPECT_EQ(At(dst, 200, 200), 0);
    EXPECT_EQ(At(dst, 0, 5), 200);
    EXPECT_EQ(At(dst, 719, 5), 10);
    EXPECT_EQ(At(dst, 5, 719), 30);
    EXPECT_EQ(At(dst, 0, 0), 1);
    EXPECT_EQ(At(dst, 1, 5), 0);  // interior next to the border: 0 - (200 >> 3) clamped
}

TEST(DimIrisDiscTest, InnerDiscRingAndOutside) {
    Image src = Work(200), dst = Work(0);
    At(src, 361, 360) = 255;
    DimIrisDisc(src.data(), dst.data(), 360, 360, 100);
    EXPECT_EQ(At(dst, 360, 360), 180);       // d 0: trunc(200 * 0.9)
    EXPECT_EQ(At(dst, 361, 360), 229);       // trunc(229.5)
    EXPECT_EQ(At(dst, 449, 360), 180);       // d 89 < 90
    EXPECT_EQ(At(dst, 360 + 95, 360), 190);  // ring: 200 * 95 / 100
    EXPECT_EQ(At(dst, 430, 430), 197);       // d 98.99: 197.98 truncated
    EXPECT_EQ(At(dst, 360, 360 - 99), 198);
    EXPECT_EQ(At(dst, 460, 360), 200);  // d exactly R: copied
    EXPECT_EQ(At(dst, 420, 440), 200);  // 60, 80: d exactly 100
    EXPECT_EQ(At(dst, 0, 0), 200);
    EXPECT_EQ(At(dst, 719, 719), 200);
}

TEST(DimIrisDiscTest, DiscReachingPastTheImageAndEmptyRadius) {
    Image src = Work(100), dst = Work(0);
    DimIrisDisc(src.data(), dst.data(), 5, 710, 300);
    EXPECT_EQ(At(dst, 5, 710), 90);
    EXPECT_EQ(At(dst, 719, 0), 100);  // farther than R
    Image copy = Work(0);
    DimIrisDisc(src.data(), copy.data(), 360, 360, 0);
    EXPECT_EQ(copy, src);
    DimIrisDisc(src.data(), copy.data(), 360, 360, -50);
    EXPECT_EQ(copy, src);
}

TEST(CropTest, ViewIsFlushWithTheNearEdge) {
    EXPECT_EQ(CropOriginX(0), 0);
    EXPECT_EQ(CropOriginX(319), 0);
    EXPECT_EQ(CropOriginX(320), 0);
    EXPECT_EQ(CropOriginX(321), 1);
    EXPECT_EQ(CropOriginX(400), 80);
    EXPECT_EQ(CropOriginX(401), 80);
    EXPECT_EQ(CropOriginX(719), 80);
    EXPECT_EQ(CropOriginX(-5), 0);
    EXPECT_EQ(CropOriginX(2147483647), 80);
    EXPECT_EQ(CropOriginY(239), 0);
    EXPECT_EQ(CropOriginY(240), 0);
    EXPECT_EQ(CropOriginY(300), 60);
    EXPECT_EQ(CropOriginY(480), 240);
    EXPECT_EQ(CropOriginY(481), 240);
}

TEST(CropTest, CopiesTheViewRowsFromTheOrigin) {
    Image src(kWorkBytes);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) At(src, x, y) = Pattern(x, y);
    struct Case {
        int cx, cy, x0, y0;
    } cases[] = {{10, 10, 0, 0}, {700, 715, 80, 240}, {360, 300, 40, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "centre " << c.cx << "," << c.cy);
        Image view(kViewBytes, 0);
        ASSERT_EQ(CropTo640x480(src.data(), c.cx, c.cy, view.data()), 0);
        for (int y : {0, 1, 239, 479})
            for (int x : {0, 1, 320, 639}) ASSERT_EQ(view[y * kViewWidth + x], Pattern(c.x0 + x, c.y0 + y));
    }
    Image view(kViewBytes);
    EXPECT_EQ(CropTo640x480(nullptr, 360, 360, view.data()), -71);
}

TEST(GrayBitmapTest, HeaderPaletteAndBottomUpRows) {
    Image view(kViewBytes);
    for (int y = 0; y < kViewHeight; ++y)
        for (int x = 0; x < kViewWidth; ++x) view[y * kViewWidth + x] = static_cast<uint8_t>(y + 3 * x);
    const Image original = view;
    Image bitmap(BitmapFileSize + 8, 0xEE);  // the tail tells a write past the file image
    ASSERT_EQ(MakeGrayBitmap(view.data(), bitmap.data()), 1);

    const uint8_t header[54] = {'B', 'M', 0x36, 0xB4, 0x04, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0, 40, 0, 0, 0,
                                0x80, 0x02, 0, 0, 0xE0, 0x01, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0xB0, 0x04, 0};
    EXPECT_EQ(std::memcmp(bitmap.data(), header, sizeof header), 0);
    EXPECT_EQ(Read32(bitmap, 2), 0x4B436u);
    EXPECT_EQ(Read32(bitmap, 10), 1078u);
    EXPECT_EQ(Read32(bitmap, 22), 480u);
    EXPECT_EQ(Read16(bitmap, 28), 8u);
    EXPECT_EQ(Read32(bitmap, 34), 307200u);
    for (int i = 0; i < 256; ++i) {
        const uint8_t entry[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
        ASSERT_EQ(std::memcmp(&bitmap[54 + 4 * i], entry, 4), 0) << i;
    }
    // File row 0 is the view's bottom row; the view itself is left flipped.
    for (int row : {0, 1, 240, 479}) {
        const uint8_t* fileRow = &bitmap[1078 + row * kViewWidth];
        ASSERT_EQ(std::memcmp(fileRow, &original[(479 - row) * kViewWidth], kViewWidth), 0) << row;
        ASSERT_EQ(std::memcmp(&view[row * kViewWidth], fileRow, kViewWidth), 0) << row;
    }
    for (int i = BitmapFileSize; i < BitmapFileSize + 8; ++i) ASSERT_EQ(bitmap[i], 0xEE);
    EXPECT_EQ(MakeGrayBitmap(nullptr, bitmap.data()), -1);
    EXPECT_EQ(MakeGrayBitmap(view.data(), nullptr), -1);
}

TEST(GrayBitmapTest, FlipRowsSwapsAroundTheMiddle) {
    Image odd = {1, 1, 2, 2, 3, 3};
    FlipRows(odd.data(), 3, 2);
    EXPECT_EQ(odd, (Image{3, 3, 2, 2, 1, 1}));
    Image even = {1, 2, 3, 4};
    FlipRows(even.data(), 4, 1);
    EXPECT_EQ(even, (Image{4, 3, 2, 1}));
}

}  // namespace
