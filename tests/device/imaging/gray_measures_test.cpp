// IrisGrayValue on the lower iris ring and the entropy figure GetGrayRate.
#include <gtest/gtest.h>

#include <vector>

#include "device/eye_records.h"
#include "device/imaging/gray_measures.h"

namespace {

using Image = std::vector<uint8_t>;

// Every pixel gets value(dx, dy) relative to the centre.
template <typename F>
Image AroundCentre(int cx, int cy, F value) {
    Image im(kWorkBytes);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) im[y * kWorkSide + x] = static_cast<uint8_t>(value(x - cx, y - cy));
    return im;
}

TEST(IrisGrayValueTest, MeansTheLowerRingOnly) {
    constexpr int outer = 100, inner = 40;
    const Image im = AroundCentre(360, 360, [](int dx, int dy) {
        const int d2 = dx * dx + dy * dy;
        if (dy < 0) return 250;              // upper half: never counted
        if (dy > inner) return 240;          // below the band: never counted
        if (d2 <= inner * inner) return 0;   // pupil, including its rim
        if (d2 >= outer * outer) return 255; // outside the iris, including its rim
        return dx < 0 ? 80 : 81;             // mean of equal halves truncates to 80
    });
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, outer, inner), 80);
}

TEST(IrisGrayValueTest, NoQualifyingPixelOrBadCircle) {
    const Image im(kWorkBytes, 90);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, 100, 40), 90);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 0, 100, 40), -1);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, -3, 100, 40), -1);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, 0, 40), -1);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, 100, 0), -1);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, 40, 40), -1);  // empty ring
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 360, 30, 40), -1);
    EXPECT_EQ(IrisGrayValue(im.data(), 360, 719, 100, 40), 90);  // only row 719 lies inside
    EXPECT_EQ(IrisGrayValue(im.data(), -20, 700, 100, 40), 90);  // ring partly left of the image
    EXPECT_EQ(IrisGrayValue(im.data(), 5000, 700, 100, 40), -1); // ring wholly outside
}

// n equally filled gray levels (n divides 518400 for 1, 2, 64, 256).
Image Levels(int n) {
    Image im(kWorkBytes);
    for (int i = 0; i < kWorkBytes; ++i) im[i] = static_cast<uint8_t>(i % n);
    return im;
}

TEST(GrayRateTest, EntropyTimesTwelveAndAHalfAboveTheFloor) {
    EXPECT_EQ(GetGrayRate(Levels(1).data()), 0);
    EXPECT_EQ(GetGrayRate(Levels(2).data()), 0);     // H 1: 12
    EXPECT_EQ(GetGrayRate(Levels(63).data()), 0);    // H 5.977: 74, not above the floor
    EXPECT_EQ(GetGrayRate(Levels(64).data()), 75);   // H 6 exactly
    EXPECT_EQ(GetGrayRate(Levels(128).data()), 87);  // 87.5 truncated
    EXPECT_EQ(GetGrayRate(Levels(256).data()), 100);
}

}  // namespace
