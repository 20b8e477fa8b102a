// The motion blur measure and its stages.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "device/eye_records.h"
#include "device/imaging/motion_blur.h"

namespace {

using Image = std::vector<uint8_t>;

// A bright ellipse (radius r across, stretch * r along x) on a mid-gray
// working image.
Image BrightDisc(int cx, int cy, double r, double stretch) {
    Image im(kWorkBytes, 40);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) {
            const double dx = (x - cx) / stretch, dy = y - cy;
            if (dx * dx + dy * dy < r * r) im[y * kWorkSide + x] = 250;
        }
    return im;
}

struct Measured {
    int32_t status;
    float score;
};

Measured Measure(const Image& im, int x1, int y1, int x2, int y2) {
    Measured m{0, -42.0f};
    m.status = MeasureMotionBlur(&m.score, im.data(), x1, y1, x2, y2);
    return m;
}

struct Blobs {
    explicit Blobs(int rows, int cols) : rows(rows), cols(cols), image(rows * cols, 0), block(BlobScratchBytes(rows, cols)) {}
    void Fill(int top, int left, int h, int w) {
        for (int r = top; r < top + h; ++r)
            for (int c = left; c < left + w; ++c) image[r * cols + c] = 255;
    }
    int32_t Box(BlobBox* box) { return LargestBlobBox(image.data(), rows, cols, box, CarveBlobScratch(block.data(), rows, cols)); }
    int rows, cols;
    Image image, block;
};

void ExpectBox(const BlobBox& b, int top, int bottom, int left, int right, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    EXPECT_EQ(b.top, top);
    EXPECT_EQ(b.bottom, bottom);
    EXPECT_EQ(b.left, left);
    EXPECT_EQ(b.right, right);
}

TEST(MotionBlurTest, RoundBrightSpotScoresNearOneAndItsSmearIsRejected) {
    for (double r : {8.0, 10.0}) {
        SCOPED_TRACE(testing::Message() << "radius " << r);
        const Measured round = Measure(BrightDisc(360, 360, r, 1.0), 230, 230, 490, 490);
        ASSERT_EQ(round.status, 0);
        EXPECT_GT(round.score, 0.9f);
        EXPECT_LE(round.score, 1.0f);
        EXPECT_FALSE(IsMotionBlurred(round.status, round.score));
        const Measured smeared = Measure(BrightDisc(360, 360, r, 2.0), 230, 230, 490, 490);
        ASSERT_EQ(smeared.status, 0);
        EXPECT_NEAR(smeared.score, 0.55, 0.1);
        EXPECT_TRUE(IsMotionBlurred(smeared.status, smeared.score));
    }
}

// A real eye's illuminator reflection covers a few cells of the reduced
// square: its box is rounding, not shape, and a sharp one must pass. The
// same reflection smeared into a streak still fails.
TEST(MotionBlurTest, SmallSharpReflectionPassesAndItsStreakFails) {
    for (double r : {3.0, 3.5, 4.0, 4.5}) {
        SCOPED_TRACE(testing::Message() << "radius " << r);
        const Measured sharp = Measure(BrightDisc(361, 359, r, 1.0), 250, 250, 470, 470);
        ASSERT_EQ(sharp.status, 0);
        EXPECT_FALSE(IsMotionBlurred(sharp.status, sharp.score)) << sharp.score;
        const Measured streak = Measure(BrightDisc(361, 359, r, 5.0), 250, 250, 470, 470);
        ASSERT_EQ(streak.status, 0);
        EXPECT_TRUE(IsMotionBlurred(streak.status, streak.score)) << streak.score;
    }
}

// A pupil with a ring of eight illuminator dots, as close-up iris cameras
// show it, then smeared along x by `smear` pixels (a box filter).
Image ReflectionRing(int cx, int cy, int smear) {
    Image im(kWorkBytes, 110);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) {
            const double dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy < 40.0 * 40.0) im[y * kWorkSide + x] = 35;
        }
    for (int k = 0; k < 8; ++k) {
        const double a = k * std::atan(1.0), dotX = cx + 11 * std::cos(a), dotY = cy + 11 * std::sin(a);
        for (int y = cy - 20; y <= cy + 20; ++y)
            for (int x = cx - 20; x <= cx + 20; ++x)
                if ((x - dotX) * (x - dotX) + (y - dotY) * (y - dotY) <= 2.6 * 2.6) im[y * kWorkSide + x] = 255;
    }
    if (smear <= 1) return im;
    Image out(im);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = smear; x < kWorkSide - smear; ++x) {
            int sum = 0;
            for (int k = 0; k < smear; ++k) sum += im[y * kWorkSide + x - smear / 2 + k];
            out[y * kWorkSide + x] = static_cast<uint8_t>(sum / smear);
        }
    return out;
}

// The strongest edges of such a pupil lie on a few of the dots, in a box of
// any shape; the dots themselves show that nothing moved. Smeared, they do not.
TEST(MotionBlurTest, RingOfSharpReflectionsPassesAndItsSmearFails) {
    for (int cx : {360, 363, 366}) {
        SCOPED_TRACE(testing::Message() << "centre x " << cx);
        const Measured sharp = Measure(ReflectionRing(cx, 360, 0), cx - 100, 260, cx + 100, 460);
        ASSERT_EQ(sharp.status, 0);
        EXPECT_FALSE(IsMotionBlurred(sharp.status, sharp.score)) << sharp.score;
        for (int smear : {8, 16}) {
            const Measured smeared = Measure(ReflectionRing(cx, 360, smear), cx - 100, 260, cx + 100, 460);
            EXPECT_TRUE(IsMotionBlurred(smeared.status, smeared.score))
                << smear << " px: " << smeared.status << " " << smeared.score;
        }
    }
}

TEST(MotionBlurTest, BadSquaresAndArgumentsLeaveTheScore) {
    const Image im = BrightDisc(360, 360, 8, 1.0);
    struct Case {
        int x1, y1, x2, y2;
    } bad[] = {{100, 100, 100, 300}, {100, 100, 300, 100}, {0, 0, 720, 300}, {0, 0, 300, 720},
               {300, 100, 100, 300}, {100, 300, 300, 100}, {-400, 0, 400, 300}, {-2147483647, 0, 2147483647, 300}};
    for (const Case& c : bad) {
        SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2);
        const Measured m = Measure(im, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(m.status, kBlurBadSize);
        EXPECT_EQ(m.score, -42.0f);
    }
    EXPECT_EQ(Measure(im, 0, 0, 719, 719).status, 0);  // 719 is the widest square
    float score = -42.0f;
    EXPECT_EQ(MeasureMotionBlur(nullptr, im.data(), 230, 230, 490, 490), kBlurNullArgument);
    EXPECT_EQ(MeasureMotionBlur(&score, nullptr, 230, 230, 490, 490), kBlurNullArgument);
    EXPECT_EQ(score, -42.0f);
}

TEST(MotionBlurTest, FlatSquareHasNoStructureAndCountsAsBlurred) {
    const Image flat(kWorkBytes, 128);
    const Measured m = Measure(flat, 100, 100, 360, 360);
    EXPECT_EQ(m.status, kBlurNoStructure);
    EXPECT_EQ(m.score, -42.0f);
    EXPECT_TRUE(IsMotionBlurred(m.status, 1.0f));
}

TEST(MotionBlurTest, SquarePastTheImageReadsZerosThere) {
    // The same square contents twice: once reaching 90 columns (rows) past the
    // image, once inside an image whose first 90 columns (rows) are black.
    const Image nearLeft = BrightDisc(40, 360, 8, 1.0);
    Image blackLeft = BrightDisc(130, 360, 8, 1.0);
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < 90; ++x) blackLeft[y * kWorkSide + x] = 0;
    const Measured outside = Measure(nearLeft, -90, 230, 170, 490);
    const Measured inside = Measure(blackLeft, 0, 230, 260, 490);
    EXPECT_EQ(outside.status, inside.status);
    EXPECT_EQ(outside.score, inside.score);

    // 110 rows past the bottom, and the same contents 110 rows higher.
    const Image nearBottom = BrightDisc(360, 700, 8, 1.0);
    Image blackBottom = BrightDisc(360, 590, 8, 1.0);
    for (int i = 610 * kWorkSide; i < kWorkBytes; ++i) blackBottom[i] = 0;
    const Measured below = Measure(nearBottom, 230, 570, 490, 830);
    const Measured above = Measure(blackBottom, 230, 460, 490, 720);
    EXPECT_EQ(below.status, above.status);
    EXPECT_EQ(below.score, above.score);
}

TEST(MotionBlurTest, EnlargedBoxPastTheSquareNeverReadsTheImage) {
    // A spot in the square's corner: the enlarged box reaches past the square.
    // Whatever lies outside the square, dark or bright, the measure is the same.
    const Image dark = BrightDisc(212, 212, 8, 1.0);
    Image bright = dark;
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x)
            if (x < 200 || y < 200 || x >= 460 || y >= 460) bright[y * kWorkSide + x] = 250;
    const Measured a = Measure(dark, 200, 200, 460, 460);
    const Measured b = Measure(bright, 200, 200, 460, 460);
    ASSERT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(a.score, b.score);
}

TEST(MotionBlurTest, SevenTenthsIsRejectedAndPointSevenOneAccepted) {
    Blobs b(80, 80);
    b.Fill(20, 30, 7, 10);
    BlobBox box{};
    ASSERT_EQ(b.Box(&box), 0);
    const float ratio = BoxAspectRatio(box);
    EXPECT_EQ(ratio, 7.0f / 10.0f);
    EXPECT_LT(static_cast<double>(ratio), 0.7);  // single-precision 0.7 lies just below
    EXPECT_TRUE(IsMotionBlurred(0, ratio));
    EXPECT_FALSE(IsMotionBlurred(0, 0.71f));
    EXPECT_FALSE(IsMotionBlurred(0, 1.0f));
}

TEST(LargestBlobBoxTest, LargerBlobDecidesAndTiesGoToTheFirst) {
    Blobs b(80, 80);
    b.Fill(10, 10, 5, 6);  // 30 pixels, first in scan order
    b.Fill(50, 50, 2, 6);  // 12 pixels
    BlobBox box{};
    ASSERT_EQ(b.Box(&box), 0);
    ExpectBox(box, 10, 14, 10, 15, __LINE__);
    EXPECT_EQ(BoxAspectRatio(box), 5.0f / 6.0f);

    Blobs later(80, 80);
    later.Fill(10, 10, 2, 6);  // 12 pixels first
    later.Fill(40, 20, 6, 5);  // 30 pixels later
    ASSERT_EQ(later.Box(&box), 0);
    ExpectBox(box, 40, 45, 20, 24, __LINE__);

    Blobs tie(80, 80);
    tie.Fill(60, 5, 3, 3);
    tie.Fill(5, 60, 3, 3);  // scanned first: the lower label
    ASSERT_EQ(tie.Box(&box), 0);
    ExpectBox(box, 5, 7, 60, 62, __LINE__);
}

TEST(LargestBlobBoxTest, NoBlobLeavesTheBox) {
    Blobs b(80, 80);
    b.Fill(0, 0, 1, 80);   // the border rows and columns never start a blob
    b.Fill(79, 0, 1, 80);
    BlobBox box{1, 2, 3, 4};
    EXPECT_EQ(b.Box(&box), -1);
    ExpectBox(box, 1, 2, 3, 4, __LINE__);
    uint8_t tiny[4] = {255, 255, 255, 255};
    int32_t queue[4];
    uint8_t labels[4], sums[4];
    EXPECT_EQ(LargestBlobBox(tiny, 2, 2, &box, BlobScratch{queue, labels, sums, sums + 2}), -1);
}

TEST(LargestBlobBoxTest, LinearIndexJoinsTheEndOfARowToTheNextRow) {
    // A blob at the right end of row 5 and one at the left end of row 6 are
    // neighbours by linear index (p + 1 wraps), so together they beat a
    // 5-pixel blob elsewhere.
    Blobs b(20, 20);
    b.Fill(5, 17, 1, 3);  // columns 17..19 of row 5
    b.Fill(6, 0, 1, 3);   // columns 0..2 of row 6
    b.Fill(12, 5, 1, 5);
    BlobBox box{};
    ASSERT_EQ(b.Box(&box), 0);
    // Column sums cover columns 1..18: two runs, the last one 17..18 frames it.
    ExpectBox(box, 5, 6, 17, 18, __LINE__);
}

TEST(LargestBlobBoxTest, LabelsAndSumsAreEightBitsWide) {
    // 256 single pixels: the 256th blob gets label 1 again, so label 1 counts
    // two pixels and wins; its box spans both.
    Blobs b(34, 34);
    int made = 0;
    for (int r = 1; r < 33 && made < 256; r += 2)
        for (int c = 1; c < 33 && made < 256; c += 2, ++made) b.image[r * 34 + c] = 255;
    ASSERT_EQ(made, 256);
    BlobBox box{};
    ASSERT_EQ(b.Box(&box), 0);
    ExpectBox(box, 31, 31, 31, 31, __LINE__);  // the last run of row (column) sums is the 256th pixel's

    // A row of 256 mask pixels sums to 0: the box is framed by the narrow rows.
    Blobs wide(5, 260);
    wide.Fill(1, 1, 1, 10);
    wide.Fill(2, 1, 1, 256);
    wide.Fill(3, 1, 1, 10);
    ASSERT_EQ(wide.Box(&box), 0);
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.bottom, 3);
}

TEST(ResampleTo80Test, WeightsInUnitsOf2048ShiftedBy22) {
    std::mt19937 random(7);
    Image a(160 * 160);
    for (uint8_t& v : a) v = static_cast<uint8_t>(random());
    uint8_t r[kReducedBytes];
    ResampleTo80(a.data(), 160, 160, r);
    // Twice the size: every sample sits between four pixels with weight 1024.
    for (int i = 0; i < 80; ++i)
        for (int j = 0; j < 80; ++j) {
            const int sum = a[2 * i * 160 + 2 * j] + a[2 * i * 160 + 2 * j + 1] + a[(2 * i + 1) * 160 + 2 * j] +
                            a[(2 * i + 1) * 160 + 2 * j + 1];
            ASSERT_EQ(r[i * 80 + j], sum / 4) << i << "," << j;
        }
    Image same(kReducedBytes);
    for (uint8_t& v : same) v = static_cast<uint8_t>(random());
    ResampleTo80(same.data(), 80, 80, r);
    EXPECT_EQ(Image(r, r + kReducedBytes), same);
}

TEST(ResampleTo80Test, SmallSquaresStayInsideAndKeepAFlatValue) {
    for (int side : {1, 3, 40, 79, 81}) {
        SCOPED_TRACE(side);
        Image a(side * side, 77);
        uint8_t r[kReducedBytes];
        ResampleTo80(a.data(), side, side, r);
        for (uint8_t v : r) ASSERT_EQ(v, 77);
    }
}

TEST(StrongEdgeMapTest, LevelIsTheFirstBinPast6350) {
    uint8_t r[kReducedBytes] = {}, e[kReducedBytes];
    r[40 * 80 + 40] = 200;  // four neighbours at magnitude 100, the rest 0: level 0
    StrongEdgeMap(r, e);
    int marked = 0;
    for (int i = 0; i < kReducedBytes; ++i) marked += e[i] == 255;
    EXPECT_EQ(marked, 4);
    EXPECT_EQ(e[40 * 80 + 39], 255);
    EXPECT_EQ(e[39 * 80 + 40], 255);
    EXPECT_EQ(e[40 * 80 + 40], 0);

    // A 30-row line: 64 pixels at 100 (both sides, both ends) keep the
    // running sum at 6336 in bin 0; it passes 6350 only at 100 itself, and
    // nothing lies above the level.
    uint8_t line[kReducedBytes] = {};
    for (int y = 20; y < 50; ++y) line[y * 80 + 40] = 200;
    StrongEdgeMap(line, e);
    for (int i = 0; i < kReducedBytes; ++i) ASSERT_EQ(e[i], 0) << i;
    // 20 rows: 44 pixels, level 0 again, all 44 marked.
    uint8_t shorter[kReducedBytes] = {};
    for (int y = 20; y < 40; ++y) shorter[y * 80 + 40] = 200;
    StrongEdgeMap(shorter, e);
    marked = 0;
    for (int i = 0; i < kReducedBytes; ++i) marked += e[i] == 255;
    EXPECT_EQ(marked, 44);
}

TEST(StrongEdgeMapTest, BorderIsNeverMarked) {
    uint8_t r[kReducedBytes], e[kReducedBytes];
    for (int i = 0; i < kReducedBytes; ++i) r[i] = static_cast<uint8_t>((i % 80) < 1 || (i / 80) < 1 ? 255 : 0);
    StrongEdgeMap(r, e);
    for (int k = 0; k < 80; ++k) {
        ASSERT_EQ(e[k], 0);
        ASSERT_EQ(e[79 * 80 + k], 0);
        ASSERT_EQ(e[k * 80], 0);
        ASSERT_EQ(e[k * 80 + 79], 0);
    }
}

TEST(TurnImageTest, ZeroAngleCopiesAndAQuarterTurnsClockwiseOnScreen) {
    constexpr int w = 10, h = 6;
    Image d(w * h);
    for (int i = 0; i < w * h; ++i) d[i] = static_cast<uint8_t>(i + 1);
    Image t(w * h, 9);
    TurnImage(d.data(), w, h, t.data(), w, h, 0.0f);
    EXPECT_EQ(t, d);

    // A quarter turn onto an h x w canvas: canvas (u, v) shows D(row u,
    // column w - v); canvas row 0 maps to column w, past D, and stays 0.
    Image q(h * w, 9);
    TurnImage(d.data(), w, h, q.data(), h, w, 90.0f);
    for (int u = 0; u < h; ++u) {
        EXPECT_EQ(q[u], 0) << u;
        for (int v = 1; v < w; ++v) ASSERT_EQ(q[v * h + u], d[u * w + (w - v)]) << u << "," << v;
    }
}

}  // namespace
