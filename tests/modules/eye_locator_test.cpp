// The eye locator's interface, geometry, feature planes, classifier arithmetic
// and post-processing rules, with hand-made models where scores must be exact.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "modules/eye_locator.h"
#include "modules/eye_locator_model.h"
#include "modules/eye_locator_stages.h"
#include "tests/modules/eye_locator_test_util.h"

namespace {

using eyetest::HandModel;
using eyetest::RandomFrame;

class EyeLocatorTest : public ::testing::Test {
protected:
    void TearDown() override { EyeLocatorRelease(); }
    eyeloc::Context* Init(int32_t w = 960, int32_t h = 720) {
        EXPECT_EQ(EyeLocatorInit(w, h), 0);
        return eyeloc::ActiveContext();
    }
};

// --- lifecycle and arguments ---

TEST_F(EyeLocatorTest, LifecycleCodes) {
    std::vector<uint8_t> frame(960 * 720, 0);
    int32_t rect[8];
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, rect), -1) << "before init";
    EXPECT_EQ(EyeLocatorInit(961, 720), -2);
    EXPECT_EQ(EyeLocatorInit(0, 0), -2);
    EXPECT_EQ(EyeLocatorInit(-960, -720), -2);
    EXPECT_EQ(EyeLocatorInit(720, 960), -2) << "sizes are not transposed";
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, rect), -1) << "a failed init keeps nothing";
    ASSERT_EQ(EyeLocatorInit(960, 720), 0);
    EXPECT_EQ(EyeLocatorInit(960, 720), -1);
    EXPECT_EQ(EyeLocatorInit(640, 480), -1) << "already initialised, whatever the size";
    EXPECT_GE(EyeLocatorDetect(frame.data(), 960 * 720, rect), 0);
    EyeLocatorRelease();
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, rect), -1) << "after release";
    EyeLocatorRelease();  // twice is harmless
    EXPECT_EQ(EyeLocatorInit(640, 480), 0) << "initialises again after release";
    std::vector<uint8_t> small(640 * 480, 0);
    EXPECT_GE(EyeLocatorDetect(small.data(), 640 * 480, rect), 0);
}

TEST_F(EyeLocatorTest, DetectArgumentCodes) {
    eyeloc::Context* c = Init();
    std::vector<uint8_t> frame = RandomFrame(960, 720, 3);
    int32_t rect[8];
    EXPECT_EQ(EyeLocatorDetect(nullptr, 960 * 720, rect), -2);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 0, rect), -2);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), -5, rect), -2);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, nullptr), -68);
    // A wrong length does no work: the subsampled image and the caller's
    // rectangles keep what they held.
    std::memset(c->sub, 0x5a, static_cast<size_t>(c->g.rows) * c->g.cols);
    for (int32_t& v : rect) v = 77;
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720 - 1, rect), -69);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720 + 1, rect), -69);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 640 * 480, rect), -69);
    for (int32_t v : rect) EXPECT_EQ(v, 77);
    for (int32_t k = 0; k < c->g.rows * c->g.cols; ++k) ASSERT_EQ(c->sub[k], 0x5a) << "at " << k;
}

// --- geometry ---

TEST_F(EyeLocatorTest, GeometryOf960x720) {
    const eyeloc::Context* c = Init();
    const eyeloc::Geometry& g = c->g;
    EXPECT_EQ(g.rows, 80);
    EXPECT_EQ(g.cols, 120);
    EXPECT_EQ(g.cellRows, 20);
    EXPECT_EQ(g.cellCols, 30);
    EXPECT_EQ(g.cells, 600);
    EXPECT_EQ(eyeloc::kPlanes * g.cells, 19800);
    const int32_t expected[eyeloc::kScales] = {352, 285, 208, 156, 100, 63};
    const int32_t features[eyeloc::kScales] = {1485, 2376, 3960, 5346, 7623, 9504};
    int32_t windows = 0;
    for (int s = 0; s < eyeloc::kScales; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(g.rowPositions[s] * g.colPositions[s], expected[s]);
        EXPECT_EQ(g.listLength[s], features[s]);
        windows += g.rowPositions[s] * g.colPositions[s];
    }
    EXPECT_EQ(windows, 1164);
}

TEST_F(EyeLocatorTest, WindowFeatureListOrder) {
    const eyeloc::Context* c = Init();
    // Scale 1 (24 x 48 window: 6 x 12 cells): plane outer, column, then row.
    const int32_t* list = c->lists + c->g.listStart[1];
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 30) << "next row of the first column";
    EXPECT_EQ(list[6], 1) << "first row of the second column";
    EXPECT_EQ(list[72], 600) << "plane 1 starts after 6 x 12 cells";
    EXPECT_EQ(list[2375], 32 * 600 + 5 * 30 + 11);
    EXPECT_EQ(c->g.listStart[1], 1485);
}

TEST_F(EyeLocatorTest, EverySizeInitialisesAndDetectsInsideItsFrame) {
    const int32_t sizes[][4] = {{1920, 1080, 8, 61}, {1920, 960, 8, 1},   {1280, 960, 8, 1},   {640, 480, 5, 1},
                                {2280, 1080, 10, 1}, {2280, 1440, 10, 1}, {2560, 1080, 8, 11}, {2560, 1920, 10, 1},
                                {2688, 1944, 12, 11}, {3840, 2160, 15, 1}, {960, 720, 8, 41}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1]);
        const eyeloc::Context* c = Init(s[0], s[1]);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->g.step, s[2]);
        EXPECT_EQ(c->g.margin, s[3]);
        EXPECT_EQ(c->g.rows, (s[1] - 2 * s[3] + 2) / s[2]);
        EXPECT_EQ(c->g.cols, s[0] / s[2]);
        EXPECT_LT(s[3] - 1 + (c->g.rows - 1) * s[2], s[1]) << "the last subsampled row lies in the frame";
        // The frame is exactly width x height bytes in its own buffer: the
        // sanitizer reports any read past it.
        std::vector<uint8_t> frame = RandomFrame(s[0], s[1], static_cast<uint32_t>(s[0] + s[1]));
        int32_t rect[8];
        EXPECT_GE(EyeLocatorDetect(frame.data(), s[0] * s[1], rect), 0);
        EyeLocatorRelease();
    }
}

// --- classifier scores ---

// A bright 4 x 4-cell-sized block in an otherwise black frame lights exactly
// one cell mean; a scale-0 model that rewards that mean in the window's first
// cell scores only the window whose first cell it is.
std::vector<uint8_t> FrameWithBrightCell(int32_t cellRow, int32_t cellCol) {
    std::vector<uint8_t> frame(960 * 720, 0);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) frame[(40 + cellRow * 32 + y) * 960 + cellCol * 32 + x] = 255;
    return frame;
}

// Learners summing to `total` for the bright window; dark windows stop early.
HandModel ModelScoring(int32_t total) {
    HandModel m;
    int k = 0;
    while (total > 0) {
        const int16_t part = static_cast<int16_t>(total > 32767 ? 32767 : total);
        m.SetLearner(0, k++, 0, 100, -32767, part);
        total -= part;
    }
    return m;
}

TEST_F(EyeLocatorTest, AcceptanceIsStrictlyAbove400000) {
    eyeloc::Context* c = Init();
    const std::vector<uint8_t> frame = FrameWithBrightCell(5, 7);
    int32_t rect[8];
    HandModel exact = ModelScoring(400000);
    ASSERT_EQ(eyeloc::InstallModel(c, exact.View()), 0);
    EXPECT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, rect), 0);
    ComputeFeatures(c, frame.data());
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 5, 7), 400000);
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 5, 6), -65534) << "a dark window stops after learner 1";

    HandModel above = ModelScoring(400001);
    ASSERT_EQ(eyeloc::InstallModel(c, above.View()), 0);
    ASSERT_EQ(EyeLocatorDetect(frame.data(), 960 * 720, rect), 1);
    // Window (5, 7) of scale 0: box at y = 4 + 20, x = 6 + 28 subsampled pixels.
    EXPECT_EQ(rect[0], 8 * 34);
    EXPECT_EQ(rect[1], 40 + 8 * 24);
    EXPECT_EQ(rect[2], 8 * 34 + 192);
    EXPECT_EQ(rect[3], 40 + 8 * 24 + 96);
    for (int k = 4; k < 8; ++k) EXPECT_EQ(rect[k], 0) << "one eye leaves the second rectangle 0";
}

TEST_F(EyeLocatorTest, EarlyStopAtMinus20000FromLearnerOne) {
    eyeloc::Context* c = Init();
    const std::vector<uint8_t> frame = FrameWithBrightCell(2, 2);
    ComputeFeatures(c, frame.data());
    // Every window is dark at its first cell except (2, 2).
    HandModel m;
    m.SetLearner(0, 0, 0, 100, -30000, 0);  // learner 0 alone never stops a window
    m.SetLearner(0, 1, 0, 100, 9999, 0);    // -20001 after learner 1: stop
    m.SetLearner(0, 2, 0, 100, 30000, 0);
    ASSERT_EQ(eyeloc::InstallModel(c, m.View()), 0);
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 0, 0), -20001);
    m.SetLearner(0, 1, 0, 100, 10000, 0);  // exactly -20000: stop as well
    ASSERT_EQ(eyeloc::InstallModel(c, m.View()), 0);
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 0, 0), -20000);
    m.SetLearner(0, 1, 0, 100, 10001, 0);  // -19999: goes on
    ASSERT_EQ(eyeloc::InstallModel(c, m.View()), 0);
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 0, 0), 10001);
    m.SetLearner(0, 0, 0, 100, -32767, 0);  // far below after learner 0 alone: not yet checked
    m.SetLearner(0, 1, 0, 100, 32767, 0);
    ASSERT_EQ(eyeloc::InstallModel(c, m.View()), 0);
    EXPECT_EQ(eyeloc::ScoreWindow(c, 0, 0, 0), 30000);
}

TEST_F(EyeLocatorTest, ModelWithFeatureOutsideTheListIsRefused) {
    eyeloc::Context* c = Init();
    HandModel m;
    m.SetLearner(2, 0, 3960, 1, 1, 1);  // scale 2 has 3,960 entries
    EXPECT_EQ(eyeloc::InstallModel(c, m.View()), eyeloc::kErrModel);
    m.SetLearner(2, 0, -1, 1, 1, 1);
    EXPECT_EQ(eyeloc::InstallModel(c, m.View()), eyeloc::kErrModel);
    m.SetLearner(2, 0, 3959, 1, 1, 1);
    EXPECT_EQ(eyeloc::InstallModel(c, m.View()), 0);
}

TEST_F(EyeLocatorTest, ClassificationEndsAtTenCandidates) {
    eyeloc::Context* c = Init();
    std::vector<uint8_t> frame(960 * 720, 200);
    HandModel m = ModelScoring(500000);
    m.SetLearner(1, 0, 0, 100, 30000, 30000);  // scale 1 would accept too, but is never reached
    ASSERT_EQ(eyeloc::InstallModel(c, m.View()), 0);
    ComputeFeatures(c, frame.data());
    ASSERT_EQ(eyeloc::Classify(c), 0);
    ASSERT_EQ(c->count, 10);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(c->candidates[k].y, 4) << k;  // rows outer, columns inner: the first row's windows
        EXPECT_EQ(c->candidates[k].x, 6 + 4 * k) << k;
        EXPECT_EQ(c->candidates[k].h, 12);
    }
}

}  // namespace
