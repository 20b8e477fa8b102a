// The same seed and parameters give the same bytes in every build. The digests
// below were taken once from the native build; the Windows build runs the
// same program under Wine and must reproduce them (a regression pin for the
// renderer's arithmetic, not a statement about what the pictures look like).
#include <gtest/gtest.h>

#include <cstdio>

#include "sim/scene/image_io.h"
#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;
using namespace scenetest;

std::string Digest(const Frame& f) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(Fnv1a64(f.data(), f.size())));
    return buf;
}

EyeParams Busy() {
    EyeParams p;
    p.subjectSeed = 123456789;
    p.eye = Eye::Right;
    p.centerX = 350;
    p.centerY = 500;
    p.irisRadius = 118;
    p.pupilRatio = 0.61;
    p.tiltDeg = -11;
    p.gazeX = 0.2;
    p.defocusSigma = 2.6;
    p.motionLength = 17;
    p.motionAngleDeg = 125;
    p.glareCount = 2;
    p.noise = 2;
    p.frameSeed = 99;
    return p;
}

TEST(SceneDeterminismTest, TwoRendersAreIdentical) {
    SceneRenderer a, b;
    Frame fa = NewFrame(), fb = NewFrame();
    a.Render(Busy(), CameraControls{}, fa.data());
    a.Render(EyeParams{}, CameraControls{}, fb.data());  // the renderer keeps no state that leaks
    b.Render(Busy(), CameraControls{}, fb.data());
    EXPECT_EQ(fa, fb);
    EyeParams other = Busy();
    other.subjectSeed++;
    b.Render(other, CameraControls{}, fb.data());
    EXPECT_NE(fa, fb);
}

TEST(SceneDeterminismTest, PinnedDigestsInEveryBuild) {
    SceneRenderer r;
    Frame f = NewFrame();
    r.Render(EyeParams{}, CameraControls{}, f.data());
    EXPECT_EQ(Digest(f), "f3ae76544396b99b");
    r.Render(Busy(), CameraControls{260, 30}, f.data());
    EXPECT_EQ(Digest(f), "3333d55b09d2061c");
    r.RenderNegative(NegativeKind::DeviceInterior, 5, CameraControls{}, f.data());
    EXPECT_EQ(Digest(f), "b112aeb4007ddb71");
    r.RenderNegative(NegativeKind::EyebrowOnly, 5, CameraControls{}, f.data());
    EXPECT_EQ(Digest(f), "14501027042523db");
    SceneTimeline timeline(17);
    timeline.Render(Eye::Left, timeline.ArrivalMs() + 1234.5, CameraControls{}, f.data());
    EXPECT_EQ(Digest(f), "483152670227f8e3");
}

}  // namespace
