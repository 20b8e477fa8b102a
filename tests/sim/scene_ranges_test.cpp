// The sampler covers every stated range; negatives show no usable eye.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;
using namespace scenetest;

TEST(SceneRangesTest, SamplerSpreadsOverAllRanges) {
    double minD = 1e9, maxD = 0, minRatio = 1, maxRatio = 0, minOpen = 1, maxOpen = 0;
    int inBand = 0, left = 0, right = 0, above = 0, below = 0, cut = 0, blurred = 0, glasses = 0, rightEyes = 0;
    for (uint64_t seed = 0; seed < 600; ++seed) {
        const EyeParams p = RandomEyeParams(seed);
        const double d = 2 * p.irisRadius * p.scale;
        minD = std::min(minD, d);
        maxD = std::max(maxD, d);
        minRatio = std::min(minRatio, p.pupilRatio);
        maxRatio = std::max(maxRatio, p.pupilRatio);
        minOpen = std::min(minOpen, p.opening);
        maxOpen = std::max(maxOpen, p.opening);
        const bool bandX = p.centerX >= 320 && p.centerX <= 640, bandY = p.centerY >= 240 && p.centerY <= 480;
        inBand += bandX && bandY;
        left += p.centerX < 320;
        right += p.centerX > 640;
        above += p.centerY < 240;
        below += p.centerY > 480;
        const double halfWidth = 2.3 * d / 2;  // the narrowest eye
        cut += p.centerX - halfWidth < 0 || p.centerX + halfWidth > kFrameWidth;
        blurred += p.motionLength > 0;
        glasses += p.glareCount > 0;
        rightEyes += p.eye == Eye::Right;
    }
    EXPECT_GE(minD, 150);
    EXPECT_LE(maxD, 260);
    EXPECT_LT(minD, 155);
    EXPECT_GT(maxD, 255);
    EXPECT_LT(minRatio, 0.21);
    EXPECT_GT(maxRatio, 0.69);
    EXPECT_LT(minOpen, 0.02);
    EXPECT_GT(maxOpen, 0.98);
    for (int n : {inBand, left, right, above, below, cut, blurred, glasses, rightEyes}) EXPECT_GT(n, 40);
}

TEST(SceneRangesTest, NegativesShowNoEye) {
    SceneRenderer renderer;
    Frame f = NewFrame();
    for (int k = 0; k < kNegativeKinds; ++k) {
        const NegativeKind kind = static_cast<NegativeKind>(k);
        const GroundTruth t = renderer.RenderNegative(kind, 7, CameraControls{}, f.data());
        EXPECT_FALSE(t.eyeVisible) << NegativeName(kind);
        const double limit = kind == NegativeKind::EyeMostlyOutside ? 0.4 : 0.02;
        EXPECT_LT(t.irisVisibleFraction, limit) << NegativeName(kind);
        // Nothing as dark as a pupil where skin fills the frame.
        if (kind != NegativeKind::EyeMostlyOutside && kind != NegativeKind::DeviceInterior) {
            EXPECT_LT(CountBelow(f, 0, 0, kFrameWidth, kFrameHeight, 6), 2000) << NegativeName(kind);
        }
    }
    const GroundTruth inside = renderer.RenderNegative(NegativeKind::DeviceInterior, 7, CameraControls{}, f.data());
    EXPECT_FALSE(inside.personPresent);
    double mean = 0;
    for (uint8_t v : f) mean += v;
    EXPECT_LT(mean / kFrameBytes, 50);
}

TEST(SceneRangesTest, EyesCutByTheFrameEdgeRenderSafely) {
    SceneRenderer renderer;
    Frame f = NewFrame();
    const double xs[] = {-250, 30, 930, 1200}, ys[] = {-200, 20, 700, 950};
    for (double x : xs)
        for (double y : ys) {
            EyeParams p;
            p.subjectSeed = 60;
            p.centerX = x;
            p.centerY = y;
            p.tiltDeg = 20;
            p.motionLength = 10;
            const GroundTruth t = renderer.Render(p, CameraControls{}, f.data());
            EXPECT_LT(t.irisVisibleFraction, 0.55) << x << "," << y;
            EXPECT_DOUBLE_EQ(t.irisX, x);
        }
}

}  // namespace
