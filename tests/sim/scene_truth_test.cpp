// The ground truth agrees with the pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;
using namespace scenetest;

// Pupils of several sizes, eyes and positions: the darkest disc near the
// truth's pupil is found where the truth says, within a pixel and a half.
TEST(SceneTruthTest, DarkestDiscIsThePupil) {
    SceneRenderer renderer;
    struct Case { Eye eye; double ratio, gazeX, tilt, radius, offX; };
    const Case cases[] = {{Eye::Left, 0.25, -0.2, 10, 90, 0.05}, {Eye::Right, 0.5, 0.1, -6, 110, -0.08},
                          {Eye::Left, 0.68, 0.0, 0, 125, 0.1}};
    for (const Case& c : cases) {
        EyeParams p;
        p.subjectSeed = 40;
        p.eye = c.eye;
        p.pupilRatio = c.ratio;
        p.gazeX = c.gazeX;
        p.tiltDeg = c.tilt;
        p.irisRadius = c.radius;
        p.pupilOffsetX = c.offX;
        p.opening = 0.95;
        Frame f = NewFrame();
        const GroundTruth t = renderer.Render(p, CameraControls{}, f.data());
        // Start the search 3 px off the truth so that it has to find the edge.
        const Disc d = FindDarkestDisc(f, t.pupilX + 3, t.pupilY - 3, t.pupilRadius + 3, 14);
        EXPECT_NEAR(d.x, t.pupilX, 1.5) << c.ratio;
        EXPECT_NEAR(d.y, t.pupilY, 1.5) << c.ratio;
        EXPECT_NEAR(d.r, t.pupilRadius, 1.5) << c.ratio;
        // The pupil is dark inside, the reflections of the illuminators saturate.
        const int px = static_cast<int>(t.pupilX), py = static_cast<int>(t.pupilY + 0.5 * t.pupilRadius);
        EXPECT_LT(f[static_cast<size_t>(py) * kFrameWidth + px], 35);
        ASSERT_EQ(t.specularCount, 2);
        EXPECT_EQ(f[static_cast<size_t>(std::lround(t.specularY[0])) * kFrameWidth + std::lround(t.specularX[0])], 255);
    }
}

// The lower iris ring, which the control's exposure steering reads, brightens
// with every backlight step and with gain, and sits in the target band at the
// device's default level.
TEST(SceneTruthTest, IrisRingFollowsExposure) {
    SceneRenderer renderer;
    EyeParams p;
    p.subjectSeed = 41;
    Frame f = NewFrame();
    double last = -1;
    for (int level = 150; level <= 300; level += 10) {
        const GroundTruth t = renderer.Render(p, CameraControls{level, 0}, f.data());
        const double gray = LowerRingMean(f, t.irisX, t.irisY, t.irisRadius, t.pupilRadius);
        EXPECT_GT(gray, last) << level;
        if (level == 230) {
            EXPECT_GE(gray, 60);
            EXPECT_LE(gray, 100);
        }
        last = gray;
    }
    GroundTruth t = renderer.Render(p, CameraControls{200, 0}, f.data());
    const double plain = LowerRingMean(f, t.irisX, t.irisY, t.irisRadius, t.pupilRadius);
    t = renderer.Render(p, CameraControls{200, 40}, f.data());
    EXPECT_GT(LowerRingMean(f, t.irisX, t.irisY, t.irisRadius, t.pupilRadius), plain * 1.25);
}

TEST(SceneTruthTest, ClosedEyeShowsNoPupil) {
    SceneRenderer renderer;
    EyeParams p;
    p.subjectSeed = 42;
    Frame f = NewFrame();
    GroundTruth open = renderer.Render(p, CameraControls{}, f.data());
    const int x0 = static_cast<int>(open.irisX - open.irisRadius), x1 = static_cast<int>(open.irisX + open.irisRadius);
    const int y0 = static_cast<int>(open.irisY - open.irisRadius), y1 = static_cast<int>(open.irisY + open.irisRadius);
    const int darkOpen = CountBelow(f, x0, y0, x1, y1, 25);
    EXPECT_GT(darkOpen, 0.8 * 3.14159 * open.pupilRadius * open.pupilRadius);
    EXPECT_TRUE(open.eyeVisible);
    p.opening = 0;
    const GroundTruth closed = renderer.Render(p, CameraControls{}, f.data());
    EXPECT_FALSE(closed.eyeVisible);
    EXPECT_LT(closed.irisVisibleFraction, 0.02);
    EXPECT_LT(CountBelow(f, x0, y0, x1, y1, 25), 0.02 * darkOpen);
}

// The eye box spans the corners and the lids; the iris sits inside it.
TEST(SceneTruthTest, EyeBoxHoldsCornersAndIris) {
    SceneRenderer renderer;
    EyeParams p;
    p.subjectSeed = 43;
    p.tiltDeg = 8;
    Frame f = NewFrame();
    const GroundTruth t = renderer.Render(p, CameraControls{}, f.data());
    EXPECT_LT(t.eyeBoxLeft, t.irisX - t.irisRadius);
    EXPECT_GT(t.eyeBoxRight, t.irisX + t.irisRadius);
    EXPECT_NEAR(t.eyeBoxLeft, std::min(t.innerCornerX, t.outerCornerX), 1.0);
    EXPECT_NEAR(t.eyeBoxRight, std::max(t.innerCornerX, t.outerCornerX), 1.0);
    EXPECT_LE(t.eyeBoxTop, t.upperLidY);
    EXPECT_GE(t.eyeBoxBottom, t.lowerLidY);
    EXPECT_LT(t.upperLidY, t.irisY);
    EXPECT_GT(t.lowerLidY, t.irisY);
    EXPECT_LT(t.innerCornerX, t.outerCornerX);  // a left eye has the nose on the frame's left
    // The sclera beside the iris is brighter than the iris.
    const int sx = static_cast<int>(t.irisX + 1.4 * t.irisRadius), sy = static_cast<int>(t.irisY);
    EXPECT_GT(f[static_cast<size_t>(sy) * kFrameWidth + sx],
              LowerRingMean(f, t.irisX, t.irisY, t.irisRadius, t.pupilRadius) + 20);
}

}  // namespace
