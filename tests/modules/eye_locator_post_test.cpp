// Overlap suppression and the choice of one eye or a pair, on hand-placed
// candidates; the feature planes against a slow independent computation; the
// crop's clamping and codes.
#include <gtest/gtest.h>

#include <vector>

#include "modules/eye_locator.h"
#include "modules/eye_locator_model.h"
#include "modules/eye_locator_stages.h"
#include "tests/modules/eye_locator_test_util.h"

namespace {

using eyeloc::Candidate;

class EyeLocatorPostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(EyeLocatorInit(960, 720), 0);
        c_ = eyeloc::ActiveContext();
    }
    void TearDown() override { EyeLocatorRelease(); }
    void Place(std::initializer_list<Candidate> list) {
        c_->count = 0;
        for (const Candidate& k : list) c_->candidates[c_->count++] = k;
    }
    eyeloc::Context* c_ = nullptr;
};

TEST_F(EyeLocatorPostTest, OverlapOfExactlyThreeTenthsSurvives) {
    // A 40 x 20 box and a 64 x 32 box: 12 of the small box's 40 columns over
    // its full height is 0.3 of its area exactly; 13 columns is more.
    Place({{100, 100, 20, 40, 900000}, {94, 100 - 64 + 12, 32, 64, 800000}});
    ASSERT_EQ(eyeloc::Suppress(c_), 0);
    EXPECT_EQ(c_->count, 2);
    Place({{100, 100, 20, 40, 900000}, {94, 100 - 64 + 13, 32, 64, 800000}});
    ASSERT_EQ(eyeloc::Suppress(c_), 0);
    ASSERT_EQ(c_->count, 1);
    EXPECT_EQ(c_->candidates[0].score, 900000);
    // The better-scored box survives wherever it stands in the list.
    Place({{94, 100 - 64 + 13, 32, 64, 800000}, {100, 100, 20, 40, 900000}});
    ASSERT_EQ(eyeloc::Suppress(c_), 0);
    ASSERT_EQ(c_->count, 1);
    EXPECT_EQ(c_->candidates[0].h, 20);
}

TEST_F(EyeLocatorPostTest, SortIsStableAndDroppedBoxesDropNothing) {
    // B overlaps A and C; A drops B; C, which only B overlapped, survives.
    Place({{0, 200, 12, 24, 500000}, {0, 0, 12, 24, 700000}, {0, 16, 12, 24, 600000}, {0, 32, 12, 24, 500000},
           {0, 400, 12, 24, 700000}});
    ASSERT_EQ(eyeloc::Suppress(c_), 0);
    ASSERT_EQ(c_->count, 4);
    EXPECT_EQ(c_->candidates[0].x, 0);   // 700,000, first of the tie
    EXPECT_EQ(c_->candidates[1].x, 400);  // 700,000, second of the tie
    EXPECT_EQ(c_->candidates[2].x, 200);  // 500,000, listed before x = 32
    EXPECT_EQ(c_->candidates[3].x, 32);
}

TEST_F(EyeLocatorPostTest, PairNeedsMoreThanTwoPointTwoWidths) {
    // w = 24: trunc(2.2 * 24) = 52, trunc(4.8 * 24) = 115.
    Place({{10, 10, 12, 24, 900000}, {10, 10 + 52, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 1);
    Place({{10, 10, 12, 24, 900000}, {10, 10 + 53, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 2);
    Place({{10, 200, 12, 24, 900000}, {10, 200 - 115, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 1) << "4.8 widths to the left is too far";
    Place({{10, 200, 12, 24, 900000}, {10, 200 - 114, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 2);
    // Heights: trunc(2.5 * 12) = 30.
    Place({{10, 10, 12, 24, 900000}, {40, 80, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 1);
    Place({{10, 10, 12, 24, 900000}, {39, 80, 12, 24, 500000}});
    EXPECT_EQ(eyeloc::Pick(c_), 2);
}

TEST_F(EyeLocatorPostTest, PairPartnerMovesToSecondPlace) {
    Place({{10, 10, 12, 24, 900000}, {60, 10, 12, 24, 600000}, {12, 80, 12, 24, 500000}});
    ASSERT_EQ(eyeloc::Pick(c_), 2);
    EXPECT_EQ(c_->candidates[1].x, 80);
    EXPECT_EQ(c_->candidates[2].x, 10);
    int32_t rect[8];
    ASSERT_EQ(eyeloc::MapToFrame(c_, 2, rect), 2);
    EXPECT_EQ(rect[4], 8 * 80);
    EXPECT_EQ(rect[5], 40 + 8 * 12);
    EXPECT_EQ(rect[6], 8 * 80 + 8 * 24);
    EXPECT_EQ(rect[7], 40 + 8 * 12 + 8 * 12);
}

TEST_F(EyeLocatorPostTest, PrimaryCheckPrefersTheStrongBoxBelow) {
    // P the brow at y 10; Q below it within half to three heights.
    Place({{10, 50, 12, 24, 900000}, {20, 60, 12, 24, 800001}});
    ASSERT_EQ(eyeloc::Pick(c_), 1);
    EXPECT_EQ(c_->candidates[0].y, 20);
    Place({{10, 50, 12, 24, 900000}, {20, 60, 12, 24, 800000}});
    ASSERT_EQ(eyeloc::Pick(c_), 1);
    EXPECT_EQ(c_->candidates[0].y, 10) << "800,000 is not above 800,000";
    Place({{10, 50, 12, 24, 900000}, {16, 60, 12, 24, 850000}});
    ASSERT_EQ(eyeloc::Pick(c_), 1);
    EXPECT_EQ(c_->candidates[0].y, 10) << "exactly half a height below is too close";
    Place({{10, 50, 12, 24, 900000}, {46, 60, 12, 24, 850000}});
    ASSERT_EQ(eyeloc::Pick(c_), 1);
    EXPECT_EQ(c_->candidates[0].y, 10) << "three heights below is too far";
    Place({{10, 50, 12, 24, 900000}, {20, 74, 12, 24, 850000}});
    ASSERT_EQ(eyeloc::Pick(c_), 1);
    EXPECT_EQ(c_->candidates[0].y, 10) << "a full width aside is not below";
    // After the pair is formed, its second eye gets the same check.
    Place({{10, 10, 12, 24, 900000}, {10, 70, 12, 24, 600000}, {20, 72, 12, 24, 850000}});
    ASSERT_EQ(eyeloc::Pick(c_), 2);
    EXPECT_EQ(c_->candidates[1].y, 20);
    EXPECT_EQ(c_->candidates[1].x, 72);
}

TEST_F(EyeLocatorPostTest, NoCandidateMeansNoEye) {
    Place({});
    EXPECT_EQ(eyeloc::Pick(c_), 0);
    Place({{10, 10, 12, 24, 900000}});
    EXPECT_EQ(eyeloc::Pick(c_), 1);
}

// --- feature planes against a direct per-pixel computation ---

void CheckPlanes(int32_t width, int32_t height, uint32_t seed) {
    SCOPED_TRACE(testing::Message() << width << "x" << height << " seed " << seed);
    ASSERT_EQ(EyeLocatorInit(width, height), 0);
    eyeloc::Context* c = eyeloc::ActiveContext();
    const std::vector<uint8_t> frame = eyetest::RandomFrame(width, height, seed);
    ASSERT_EQ(eyeloc::ComputeFeatures(c, frame.data()), 0);
    const int32_t R = c->g.rows, C = c->g.cols, N = c->g.cells, C4 = c->g.cellCols;
    auto pixel = [&](int32_t y, int32_t x) {
        y = y < 0 ? 0 : (y >= R ? R - 1 : y);  // the edge rules are edge replication
        x = x < 0 ? 0 : (x >= C ? C - 1 : x);
        return static_cast<int32_t>(frame[static_cast<size_t>(c->g.margin - 1 + y * c->g.step) * width + x * c->g.step]);
    };
    const int32_t k[3] = {1, 2, 1};
    std::vector<int32_t> s(static_cast<size_t>(R) * C);
    for (int32_t y = 0; y < R; ++y)
        for (int32_t x = 0; x < C; ++x) {
            int32_t sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) sum += k[dy + 1] * k[dx + 1] * pixel(y + dy, x + dx);
            s[y * C + x] = sum >> 4;
        }
    std::vector<int32_t> want(static_cast<size_t>(eyeloc::kPlanes) * N, 0);
    for (int32_t cell = 0; cell < N; ++cell) {
        int32_t sum = 0;
        for (int32_t dy = 0; dy < 4; ++dy)
            for (int32_t dx = 0; dx < 4; ++dx) sum += s[(cell / C4 * 4 + dy) * C + cell % C4 * 4 + dx];
        want[cell] = sum >> 4;
    }
    for (int32_t y = 1; y < R - 1; ++y)
        for (int32_t x = 1; x < C - 1; ++x) {
            auto at = [&](int dy, int dx) { return s[(y + dy) * C + x + dx]; };
            const int32_t cell = (y / 4) * C4 + x / 4;
            const int a = (at(-1, 1) < at(1, -1)) * 8 + (at(-1, 0) < at(1, 0)) * 4 + (at(-1, -1) < at(1, 1)) * 2 +
                          (at(0, -1) < at(0, 1));
            const int b = (at(1, -1) < at(1, 1)) * 4 + (at(0, -1) < at(0, 1)) * 2 + (at(-1, -1) < at(-1, 1));
            const int cc = (at(-1, 1) < at(1, 1)) * 4 + (at(-1, 0) < at(1, 0)) * 2 + (at(-1, -1) < at(1, -1));
            ++want[(1 + a) * N + cell];
            ++want[(17 + b) * N + cell];
            ++want[(25 + cc) * N + cell];
        }
    int32_t mismatches = 0;
    for (size_t i = 0; i < want.size(); ++i)
        if (c->planes[i] != want[i] && mismatches++ < 5)
            ADD_FAILURE() << "plane " << i / N << " cell " << i % N << ": " << c->planes[i] << " != " << want[i];
    EXPECT_EQ(mismatches, 0);
    EyeLocatorRelease();
}

TEST(EyeLocatorPlanesTest, MatchSlowComputationOnRandomFrames) {
    CheckPlanes(960, 720, 1);
    CheckPlanes(960, 720, 2);
    CheckPlanes(640, 480, 3);    // step 5
    CheckPlanes(1920, 1080, 4);  // margin 61
    CheckPlanes(2688, 1944, 5);  // step 12, margin 11
}

// --- crop ---

std::vector<uint8_t> CoordinateFrame(int32_t w, int32_t h) {
    std::vector<uint8_t> f(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) f[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x * 7 + y * 13);
    return f;
}

// The window must be the frame's bytes from (x0, y0).
void ExpectWindowAt(const std::vector<uint8_t>& window, int32_t ww, int32_t wh, int32_t x0, int32_t y0, int line) {
    SCOPED_TRACE(testing::Message() << "from line " << line << ", expected origin " << x0 << "," << y0);
    int32_t bad = 0;
    for (int32_t y = 0; y < wh; ++y)
        for (int32_t x = 0; x < ww; ++x)
            bad += window[static_cast<size_t>(y) * ww + x] != static_cast<uint8_t>((x0 + x) * 7 + (y0 + y) * 13);
    EXPECT_EQ(bad, 0);
}

TEST(EyeLocatorCropTest, CentresAndClampsAtAllFourEdges) {
    const std::vector<uint8_t> frame = CoordinateFrame(960, 720);
    std::vector<uint8_t> window(300 * 200);
    struct Case {
        int32_t rect[4];
        int32_t x0, y0;
        int line;
    } cases[] = {
        {{400, 300, 600, 400}, 350, 250, __LINE__},  // centre (500, 350)
        {{0, 300, 100, 400}, 0, 250, __LINE__},      // left edge
        {{860, 300, 959, 400}, 660, 250, __LINE__},  // right edge: 960 - 300
        {{400, 0, 600, 100}, 350, 0, __LINE__},      // top edge
        {{400, 620, 600, 719}, 350, 520, __LINE__},  // bottom edge: 720 - 200
        {{0, 0, 10, 10}, 0, 0, __LINE__},
        {{950, 710, 959, 719}, 660, 520, __LINE__},
        {{401, 301, 602, 402}, 351, 251, __LINE__},  // (401 + 602) >> 1 = 501
    };
    for (const Case& k : cases) {
        ASSERT_EQ(EyeLocatorCrop(frame.data(), 960, 720, k.rect, window.data(), 300, 200), 0) << k.line;
        ExpectWindowAt(window, 300, 200, k.x0, k.y0, k.line);
    }
    // The capture's 720 x 720 cut: every row, columns from the centre - 360 clamped to 0..240.
    std::vector<uint8_t> work(720 * 720);
    const int32_t eye[4] = {500, 300, 700, 400};
    ASSERT_EQ(EyeLocatorCrop(frame.data(), 960, 720, eye, work.data(), 720, 720), 0);
    ExpectWindowAt(work, 720, 720, 240, 0, __LINE__);
}

TEST(EyeLocatorCropTest, Codes) {
    const std::vector<uint8_t> frame = CoordinateFrame(960, 720);
    std::vector<uint8_t> window(720 * 720, 0xee);
    const int32_t ok[4] = {100, 100, 300, 200};
    EXPECT_EQ(EyeLocatorCrop(nullptr, 960, 720, ok, window.data(), 720, 720), -71);
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, nullptr, window.data(), 720, 720), -71);
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, ok, nullptr, 720, 720), -71);
    const int32_t bad[][4] = {{-1, 100, 300, 200}, {100, -1, 300, 200}, {300, 100, 299, 200}, {100, 200, 300, 199}};
    for (const auto& r : bad) EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, r, window.data(), 720, 720), -72);
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, ok, window.data(), 961, 100), -72) << "wider than the frame";
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, ok, window.data(), 300, 721), -72) << "higher than the frame";
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, ok, window.data(), 0, 100), -72);
    const int32_t wide[4] = {0, 0, 720, 100}, high[4] = {0, 0, 100, 720};
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, wide, window.data(), 720, 720), -73);
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, high, window.data(), 720, 720), -73);
    for (uint8_t v : window) ASSERT_EQ(v, 0xee) << "a failed crop writes nothing";
    const int32_t justNarrower[4] = {0, 0, 719, 719};
    EXPECT_EQ(EyeLocatorCrop(frame.data(), 960, 720, justNarrower, window.data(), 720, 720), 0);
    // Coordinates near the top of the range do not wrap around.
    const int32_t far[4] = {2147483000, 2147483000, 2147483100, 2147483100};
    ASSERT_EQ(EyeLocatorCrop(frame.data(), 960, 720, far, window.data(), 720, 720), 0);
    ExpectWindowAt(window, 720, 720, 240, 0, __LINE__);
}

}  // namespace
