// A person at the device over time, and a closed exposure loop on it.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/scene/timeline.h"
#include "tests/sim/scene_test_util.h"

namespace {

using namespace k7qsim;
using namespace scenetest;

TEST(SceneTimelineTest, PersonArrivesBlinksWandersAndLeaves) {
    for (uint64_t seed : {1u, 2u, 3u}) {
        PersonScript script(seed);
        EXPECT_GT(script.ArrivalMs(), 0);
        EXPECT_GT(script.GoneMs(), script.ArrivalMs() + 10000);
        EyeParams p;
        EXPECT_FALSE(script.ParamsAt(Eye::Left, script.ArrivalMs() - 1, p));
        EXPECT_FALSE(script.ParamsAt(Eye::Right, script.GoneMs() + 1, p));
        int frames = 0, blinks = 0, inBand = 0, outOfBand = 0, smeared = 0, lookAway = 0, blurry = 0;
        for (double t = script.ArrivalMs(); t < script.GoneMs(); t += 10) {
            ASSERT_TRUE(script.ParamsAt(Eye::Left, t, p));
            ++frames;
            blinks += p.opening < 0.05;
            const bool band = p.centerX >= 320 && p.centerX <= 640 && p.centerY >= 240 && p.centerY <= 480;
            inBand += band;
            outOfBand += !band;
            smeared += p.motionLength > 3;
            lookAway += std::fabs(p.gazeX) > 0.3;
            blurry += p.defocusSigma > 1.5;
        }
        EXPECT_GT(blinks, 0) << seed;
        EXPECT_GT(inBand, frames / 4) << seed;
        EXPECT_GT(outOfBand, 0) << seed;
        EXPECT_GT(smeared, 0) << seed;
        EXPECT_GT(blurry, 0) << seed;  // the approach is out of focus
        (void)lookAway;
    }
}

TEST(SceneTimelineTest, CamerasSeeTheTwoEyesOfOnePerson) {
    SceneTimeline timeline(5);
    Frame a = NewFrame(), b = NewFrame(), c = NewFrame();
    const double t = timeline.ArrivalMs() + 4000;
    const GroundTruth left = timeline.Render(Eye::Left, t, CameraControls{}, a.data());
    const GroundTruth right = timeline.Render(Eye::Right, t, CameraControls{}, b.data());
    timeline.Render(Eye::Left, t, CameraControls{}, c.data());
    EXPECT_EQ(a, c);
    EXPECT_NE(a, b);
    EXPECT_EQ(left.eye, Eye::Left);
    EXPECT_EQ(right.eye, Eye::Right);
    EXPECT_TRUE(left.personPresent && right.personPresent);
    EXPECT_NEAR(left.eyelidOpening, right.eyelidOpening, 1e-9);  // they blink together
    EXPECT_NEAR(left.irisX, right.irisX, 90);
    const GroundTruth empty = timeline.Render(Eye::Left, 0, CameraControls{}, a.data());
    EXPECT_FALSE(empty.personPresent);
    EXPECT_FALSE(empty.eyeVisible);
}

// A plain controller steering the backlight from the lower iris ring brings
// it into the band 60..100, as the control is meant to.
TEST(SceneTimelineTest, ClosedExposureLoopSettles) {
    SceneTimeline timeline(9);
    PersonScript script(9);
    Frame f = NewFrame();
    CameraControls controls{160, 0};
    double gray = -1;
    int measured = 0;
    for (double t = script.ArrivalMs() + 2500; t < script.GoneMs() && measured < 14; t += 150) {
        const GroundTruth g = timeline.Render(Eye::Left, t, controls, f.data());
        if (!g.eyeVisible) continue;
        gray = LowerRingMean(f, g.irisX, g.irisY, g.irisRadius, g.pupilRadius);
        ++measured;
        if (gray < 60) controls.backlight += 20;
        else if (gray > 100) controls.backlight -= 20;
    }
    EXPECT_GE(measured, 8);
    EXPECT_GE(gray, 60);
    EXPECT_LE(gray, 100);
}

}  // namespace
