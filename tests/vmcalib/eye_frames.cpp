#include "tests/vmcalib/eye_frames.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace eyeframes {
namespace {

using k7qsim::CameraControls;
using k7qsim::EyeParams;

uint64_t Mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

struct Rng {
    uint64_t s;
    double Range(double a, double b) {
        s = Mix(s);
        return a + (b - a) * static_cast<double>(s >> 11) / 9007199254740992.0;
    }
};

// A sharp, open, centred eye of normal size.
EyeParams Base(uint64_t seed, Rng& r) {
    EyeParams p;
    p.subjectSeed = Mix(seed ^ 0x51);
    p.eye = r.Range(0, 1) < 0.5 ? k7qsim::Eye::Left : k7qsim::Eye::Right;
    p.scale = r.Range(0.92, 1.08);
    p.irisRadius = r.Range(85, 125) / p.scale;
    p.centerX = r.Range(400, 560);
    p.centerY = r.Range(290, 430);
    p.pupilRatio = r.Range(0.25, 0.6);
    p.pupilOffsetX = r.Range(-0.08, 0.08);
    p.pupilOffsetY = r.Range(-0.06, 0.06);
    p.opening = r.Range(0.8, 1.0);
    p.gazeX = r.Range(-0.15, 0.15);
    p.gazeY = r.Range(-0.1, 0.1);
    p.tiltDeg = r.Range(-10, 10);
    p.defocusSigma = r.Range(0, 1.0);
    p.noise = r.Range(0.5, 2);
    p.frameSeed = Mix(seed ^ 0xf7);
    return p;
}

// Light irises around gray pupils with a ring or a pair of LED dots, skin
// and sclera near clipping, a soft limbus and clumped lashes beside it.
k7qsim::RealEyeLook RealLook(Rng& r) {
    k7qsim::RealEyeLook look;
    look.reflections = r.Range(0, 1) < 0.5 ? k7qsim::Reflections::PupilRing : k7qsim::Reflections::PupilPair;
    look.irisGain = r.Range(1.3, 1.9);
    look.pupilShade = r.Range(0.25, 0.5);
    look.skinGain = r.Range(1.3, 1.6);
    look.limbusWidth = r.Range(5, 12);
    look.lashClusters = static_cast<int>(r.Range(1, 4));
    return look;
}

}  // namespace

const char* KindName(Kind kind) {
    static const char* names[] = {"well placed", "off left", "off right", "off up", "off down",
                                  "too far", "too close", "too dark", "saturated", "glasses",
                                  "closed", "half closed", "blurred", "real look"};
    return names[static_cast<int>(kind)];
}

int ExpectedCode(Kind kind) {
    switch (kind) {
    case Kind::WellPlaced: return 1;
    case Kind::OffLeft: return -3;
    case Kind::OffRight: return -4;
    case Kind::OffUp: return -5;
    case Kind::OffDown: return -6;
    case Kind::TooFar: return -7;
    case Kind::TooClose: return -9;
    case Kind::TooDark: return -12;
    case Kind::Saturated: return -13;
    case Kind::Glasses: return -14;
    case Kind::Closed: return -1;
    case Kind::HalfClosed: return -11;
    case Kind::Blurred: return -2;
    case Kind::RealLook: return 1;
    case Kind::Count: break;
    }
    return 0;
}

EyeParams ParamsFor(Kind kind, uint64_t seed, CameraControls* controls) {
    Rng r{Mix(seed * 31 + static_cast<uint64_t>(kind))};
    EyeParams p = Base(seed, r);
    *controls = CameraControls{};
    controls->backlight = 230;
    // The window is centred on the eye horizontally, the frame's rows kept:
    // off centre comes from the gaze and from where the eye sits vertically.
    switch (kind) {
    case Kind::OffLeft: p.gazeX = 0; p.centerX = r.Range(60, 140); break;
    case Kind::OffRight: p.gazeX = 0; p.centerX = r.Range(820, 900); break;
    case Kind::OffUp: p.gazeY = 0; p.centerY = r.Range(110, 170); break;
    case Kind::OffDown: p.gazeY = 0; p.centerY = r.Range(550, 610); break;
    case Kind::TooFar: p.scale = 1; p.irisRadius = r.Range(48, 62); break;
    case Kind::TooClose: p.scale = 1; p.irisRadius = r.Range(155, 175); break;
    case Kind::TooDark: controls->backlight = static_cast<int>(r.Range(50, 80)); break;
    case Kind::Saturated: controls->backlight = static_cast<int>(r.Range(420, 520)); break;
    case Kind::Glasses: p.glareCount = 3; break;
    case Kind::Closed: p.opening = r.Range(0.0, 0.05); break;
    case Kind::HalfClosed: p.opening = r.Range(0.2, 0.35); break;
    case Kind::Blurred: p.defocusSigma = r.Range(4, 6); break;
    case Kind::RealLook: p.look = RealLook(r); p.pupilRatio = r.Range(0.2, 0.5); break;
    default: break;
    }
    return p;
}

FrameMaker::FrameMaker() : frame_(k7qsim::kFrameBytes), scratch_(kSide * kSide) {}

Truth FrameMaker::Make(const EyeParams& params, const CameraControls& controls, uint8_t* work) {
    Truth t{};
    t.frame = renderer_.Render(params, controls, frame_.data());
    // The window the locator would cut: centred on the eye, clamped to the frame.
    const int centre = static_cast<int>(std::lround(params.centerX));
    t.windowX0 = std::clamp(centre - kSide / 2, 0, k7qsim::kFrameWidth - kSide);
    for (int y = 0; y < kSide; ++y)
        std::memcpy(&scratch_[y * kSide], &frame_[y * k7qsim::kFrameWidth + t.windowX0], kSide);
    Sharpen(scratch_.data(), work);
    t.irisX = t.frame.irisX - t.windowX0;
    t.irisY = t.frame.irisY;
    t.irisR = t.frame.irisRadius;
    t.pupilX = t.frame.pupilX - t.windowX0;
    t.pupilY = t.frame.pupilY;
    t.pupilR = t.frame.pupilRadius;
    return t;
}

double FrameMaker::GlareOverIris(const EyeParams& params, const CameraControls& controls) {
    std::vector<uint8_t> with(k7qsim::kFrameBytes);
    const k7qsim::GroundTruth t = renderer_.Render(params, controls, with.data());
    EyeParams plain = params;
    plain.glareCount = 0;
    renderer_.Render(plain, controls, frame_.data());
    int ring = 0, bright = 0;
    for (int y = static_cast<int>(std::max(0.0, t.upperLidY)); y < std::min<double>(k7qsim::kFrameHeight, t.lowerLidY); ++y)
        for (int x = 0; x < k7qsim::kFrameWidth; ++x) {
            const double di = std::hypot(x - t.irisX, y - t.irisY), dp = std::hypot(x - t.pupilX, y - t.pupilY);
            if (di > t.irisRadius || dp < t.pupilRadius) continue;
            ++ring;
            const int i = y * k7qsim::kFrameWidth + x;
            bright += with[i] - frame_[i] > 30;
        }
    return ring ? static_cast<double>(bright) / ring : 0;
}

Verdict Judge(Kind kind, int code, double glareShare) {
    const bool found = code == 1 || code == -19;
    switch (kind) {
    case Kind::WellPlaced:
    case Kind::RealLook: return found ? Verdict::Right : Verdict::Wrong;
    case Kind::Closed: return code == -1 || code == -11 ? Verdict::Right : Verdict::Wrong;
    case Kind::Glasses:
        if (glareShare >= 0.08) return code == -14 ? Verdict::Right : Verdict::Wrong;
        if (glareShare <= 0.01) return found ? Verdict::Right : Verdict::Wrong;
        return Verdict::Skipped;
    default: return code == ExpectedCode(kind) ? Verdict::Right : Verdict::Wrong;
    }
}

}  // namespace eyeframes
