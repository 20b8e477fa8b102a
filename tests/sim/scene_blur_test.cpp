// Blur: motion lowers the high-frequency energy along its direction only.
#include <gtest/gtest.h>

#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;
using namespace scenetest;

struct Energies {
    double x, y;
};

Energies Measure(SceneRenderer& r, EyeParams p, Frame& f) {
    p.noise = 0;  // sensor noise is added after the optics and would mask them
    const GroundTruth t = r.Render(p, CameraControls{}, f.data());
    // Iris texture below the pupil, clear of the saturated reflections and the lids.
    const int x0 = static_cast<int>(t.irisX - 0.5 * t.irisRadius), x1 = static_cast<int>(t.irisX + 0.5 * t.irisRadius);
    const int y0 = static_cast<int>(t.pupilY + t.pupilRadius + 12), y1 = static_cast<int>(t.irisY + 0.8 * t.irisRadius);
    return {GradientEnergy(f, x0, y0, x1, y1, true), GradientEnergy(f, x0, y0, x1, y1, false)};
}

TEST(SceneBlurTest, MotionBlurActsAlongItsDirection) {
    SceneRenderer r;
    Frame f = NewFrame();
    EyeParams p;
    p.subjectSeed = 50;
    const Energies sharp = Measure(r, p, f);
    p.motionLength = 20;
    p.motionAngleDeg = 0;
    const Energies horizontal = Measure(r, p, f);
    EXPECT_LT(horizontal.x, 0.3 * sharp.x);
    EXPECT_GT(horizontal.y / sharp.y, 2.0 * horizontal.x / sharp.x);
    p.motionAngleDeg = 90;
    const Energies vertical = Measure(r, p, f);
    EXPECT_LT(vertical.y, 0.3 * sharp.y);
    EXPECT_GT(vertical.x / sharp.x, 2.0 * vertical.y / sharp.y);
}

TEST(SceneBlurTest, DefocusLowersBothDirectionsAndIsReported) {
    SceneRenderer r;
    Frame f = NewFrame();
    EyeParams p;
    p.subjectSeed = 50;
    p.defocusSigma = 0;
    const Energies sharp = Measure(r, p, f);
    p.defocusSigma = 3;
    const Energies soft = Measure(r, p, f);
    EXPECT_LT(soft.x, 0.4 * sharp.x);
    EXPECT_LT(soft.y, 0.4 * sharp.y);
    p.noise = 0;
    const GroundTruth t = r.Render(p, CameraControls{}, f.data());
    EXPECT_NEAR(t.defocusSigma, 3.0, 0.5);
    p.motionLength = 12;
    p.motionAngleDeg = 45;
    const GroundTruth m = r.Render(p, CameraControls{}, f.data());
    EXPECT_DOUBLE_EQ(m.motionBlurLength, 12);
    EXPECT_DOUBLE_EQ(m.motionBlurAngle, 45);
}

}  // namespace
