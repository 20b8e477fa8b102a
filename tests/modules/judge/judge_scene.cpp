#include "tests/modules/judge/judge_scene.h"

#include <cmath>

#include "sim/scene/detmath.h"
#include "sim/scene/image_io.h"

using namespace k7qsim;

GrayView JudgeScene::View() const {
    GrayView v;
    ParseJudgeBitmap(bitmap.data(), bitmap.size(), &v);
    return v;
}

void JudgeSceneMaker::ApplyDeviceChain(const GroundTruth& t) {
    std::vector<uint8_t>& f = frame_;
    std::vector<uint8_t> src(f);
    for (int y = 1; y < kFrameHeight - 1; ++y)
        for (int x = 1; x < kFrameWidth - 1; ++x) {
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy) n += src[(y + dy) * kFrameWidth + x + dx];
            const int v = 2 * src[y * kFrameWidth + x] - (n >> 3);
            f[y * kFrameWidth + x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    const double r = t.irisRadius;
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            const double d = std::sqrt((x - t.irisX) * (x - t.irisX) + (y - t.irisY) * (y - t.irisY));
            uint8_t& p = f[y * kFrameWidth + x];
            if (d < 0.9 * r) p = static_cast<uint8_t>(p * 0.9);
            else if (d < r) p = static_cast<uint8_t>(p * d / r);
        }
}

JudgeScene JudgeSceneMaker::Make(const EyeParams& params, int backlight) {
    CameraControls controls;
    controls.backlight = backlight;
    const GroundTruth t = renderer_.Render(params, controls, frame_.data());
    if (deviceChain) ApplyDeviceChain(t);
    const int x0 = static_cast<int>(Clamp(RoundToInt(t.irisX) - 320, 0, kFrameWidth - 640));
    const int y0 = static_cast<int>(Clamp(RoundToInt(t.irisY) - 240, 0, kFrameHeight - 480));
    std::vector<uint8_t> view(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) view[y * 640 + x] = frame_[(y0 + y) * kFrameWidth + x0 + x];
    JudgeScene s;
    s.bitmap = EncodeBmp(view.data(), 640, 480);
    s.truth.irisX = t.irisX - x0;
    s.truth.irisY = t.irisY - y0;
    s.truth.irisR = t.irisRadius;
    s.truth.pupilX = t.pupilX - x0;
    s.truth.pupilY = t.pupilY - y0;
    s.truth.pupilR = t.pupilRadius;
    s.truth.upperLidY = t.upperLidY - y0;
    s.truth.lowerLidY = t.lowerLidY - y0;
    return s;
}

EyeParams GoodEye(uint64_t seed) {
    Rng rng(HashCombine(seed, 0x9d0e));
    EyeParams p;
    p.subjectSeed = seed;
    p.eye = rng.Chance(0.5) ? Eye::Left : Eye::Right;
    p.centerX = rng.Range(440, 520);
    p.centerY = rng.Range(330, 390);
    p.irisRadius = rng.Range(108, 128);
    p.scale = 1.0;
    p.pupilRatio = rng.Range(0.28, 0.55);
    p.pupilOffsetX = rng.Range(-0.04, 0.04);
    p.pupilOffsetY = rng.Range(-0.03, 0.03);
    p.opening = rng.Range(0.8, 1.0);
    p.gazeX = rng.Range(-0.1, 0.1);
    p.gazeY = rng.Range(-0.05, 0.05);
    p.tiltDeg = rng.Range(-8, 8);
    p.defocusSigma = rng.Range(0.3, 0.9);
    p.motionLength = 0;
    p.noise = rng.Range(0.5, 1.5);
    p.glareCount = 0;
    p.frameSeed = HashCombine(seed, 17);
    return p;
}
