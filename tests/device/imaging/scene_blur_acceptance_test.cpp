// The motion blur measure on rendered eye frames with known motion: sharp
// irises are accepted, smeared ones rejected, most of the time. The frame
// count per class is 16, or TAVRIK_BLUR_FRAMES for a longer survey.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "device/eye_records.h"
#include "device/imaging/motion_blur.h"
#include "sim/scene/scene_render.h"

namespace {

using namespace k7qsim;

int FramesPerClass() {
    const char* text = std::getenv("TAVRIK_BLUR_FRAMES");
    const int n = text != nullptr ? std::atoi(text) : 0;
    return n > 0 ? n : 16;
}

// An eye well inside the accepted band, open, in focus; only the motion varies.
EyeParams Eye(std::mt19937& random, double motionLength) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    EyeParams p;
    p.subjectSeed = random();
    p.frameSeed = random();
    p.eye = unit(random) < 0.5 ? k7qsim::Eye::Left : k7qsim::Eye::Right;
    p.centerX = 380 + 200 * unit(random);
    p.centerY = 290 + 140 * unit(random);
    p.irisRadius = 80 + 45 * unit(random);
    p.pupilRatio = 0.3 + 0.25 * unit(random);
    p.opening = 0.65 + 0.3 * unit(random);
    p.defocusSigma = 0.5 + 0.6 * unit(random);
    p.motionLength = motionLength;
    p.motionAngleDeg = 180 * unit(random);
    return p;
}

struct Tally {
    int accepted = 0, frames = 0;
};

// Renders the frame, cuts the working image around the iris as the eye
// analysis does and measures the square of the true iris circle.
bool Accepted(SceneRenderer& renderer, const EyeParams& p, std::vector<uint8_t>& frame, std::vector<uint8_t>& work) {
    const GroundTruth t = renderer.Render(p, CameraControls{230, 0}, frame.data());
    const int x0 = std::clamp(static_cast<int>(t.irisX) - 360, 0, 240);
    for (int y = 0; y < kWorkSide; ++y) std::memcpy(&work[y * kWorkSide], &frame[y * kFrameWidth + x0], kWorkSide);
    const int cx = static_cast<int>(std::lround(t.irisX)) - x0, cy = static_cast<int>(std::lround(t.irisY));
    const int r = static_cast<int>(std::lround(t.irisRadius));
    float score = 0;
    const int32_t status = MeasureMotionBlur(&score, work.data(), cx - r, cy - r, cx + r, cy + r);
    return !IsMotionBlurred(status, score);
}

TEST(SceneBlurAcceptanceTest, SharpIrisesPassAndSmearedOnesAreRejected) {
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes), work(kWorkBytes);
    std::mt19937 random(1207);
    std::uniform_real_distribution<double> sharpLength(0.0, 3.0), smearLength(16.0, 40.0);
    Tally sharp, smeared;
    for (int i = 0; i < FramesPerClass(); ++i) {
        sharp.accepted += Accepted(renderer, Eye(random, sharpLength(random)), frame, work);
        ++sharp.frames;
        smeared.accepted += Accepted(renderer, Eye(random, smearLength(random)), frame, work);
        ++smeared.frames;
    }
    RecordProperty("sharp_accepted", sharp.accepted);
    RecordProperty("smeared_accepted", smeared.accepted);
    RecordProperty("frames_per_class", sharp.frames);
    std::printf("sharp accepted %d/%d, smeared accepted %d/%d\n", sharp.accepted, sharp.frames, smeared.accepted,
                smeared.frames);
    EXPECT_GE(sharp.accepted, sharp.frames * 85 / 100);
    EXPECT_LE(smeared.accepted, smeared.frames * 25 / 100);
}

}  // namespace
