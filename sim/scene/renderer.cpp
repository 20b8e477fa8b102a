#include <cmath>

#include "sim/scene/detmath.h"
#include "sim/scene/render_internal.h"

namespace k7qsim {

struct SceneRenderer::Impl {
    Buffers buffers;
    Subject subjects[2];
    bool valid[2] = {false, false};
    int nextSlot = 0;
    Subject interior;  // only its tiles: the plastic's texture
    bool interiorValid = false;

    const Subject& GetSubject(uint64_t seed, Eye eye) {
        for (int i = 0; i < 2; ++i)
            if (valid[i] && subjects[i].seed == seed && subjects[i].eye == eye) return subjects[i];
        const int slot = nextSlot;
        nextSlot ^= 1;
        BuildSubject(seed, eye, subjects[slot]);
        valid[slot] = true;
        return subjects[slot];
    }
};

SceneRenderer::SceneRenderer() : impl_(new Impl) {}
SceneRenderer::~SceneRenderer() = default;

double ExposureFactor(const CameraControls& c) {
    const double level = c.backlight < 0 ? 0 : c.backlight;
    const double gain = c.gain < 0 ? 0 : (c.gain > 100 ? 100 : c.gain);
    return level / 230.0 * (1.0 + gain / 100.0);
}

namespace {

void FillTruth(const EyeGeometry& g, const Subject& s, GroundTruth& t) {
    t.irisX = g.icx;
    t.irisY = g.icy;
    t.irisRadius = g.R;
    t.pupilX = g.pcx;
    t.pupilY = g.pcy;
    t.pupilRadius = g.rp;
    t.eyelidOpening = g.opening;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    const float o = static_cast<float>(g.opening);
    for (int i = 0; i <= 40; ++i) {
        const float tt = -1.0f + i / 20.0f;
        for (int lid = 0; lid < 2; ++lid) {
            const double v = (lid ? LowerLidV(s, tt) : UpperLidV(s, tt, o)) * g.R;
            double x, y;
            g.ToFrame(tt * g.halfWidthPx, v, x, y);
            x0 = x < x0 ? x : x0; x1 = x > x1 ? x : x1;
            y0 = y < y0 ? y : y0; y1 = y > y1 ? y : y1;
        }
    }
    t.eyeBoxLeft = x0;
    t.eyeBoxTop = y0;
    t.eyeBoxRight = x1;
    t.eyeBoxBottom = y1;
    g.ToFrame(-g.halfWidthPx, LowerLidV(s, -1) * g.R, t.innerCornerX, t.innerCornerY);
    g.ToFrame(g.halfWidthPx, LowerLidV(s, 1) * g.R, t.outerCornerX, t.outerCornerY);
    double un, v;
    g.ToLocal(g.icx, g.icy, un, v);
    const float ti = static_cast<float>(Clamp(un / g.halfWidthPx, -1, 1));
    double x;
    g.ToFrame(un, UpperLidV(s, ti, o) * g.R, x, t.upperLidY);
    g.ToFrame(un, LowerLidV(s, ti) * g.R, x, t.lowerLidY);
}

}  // namespace

GroundTruth SceneRenderer::Render(const EyeParams& p, const CameraControls& controls, uint8_t* out) {
    const Subject& s = impl_->GetSubject(p.subjectSeed, p.eye);
    Buffers& b = impl_->buffers;
    const EyeGeometry g = MakeGeometry(p, s);
    GroundTruth t;
    t.eye = p.eye;
    t.personPresent = true;
    FillTruth(g, s, t);
    FillLidTables(g, s, b);
    FillFaceField(g, s, b);
    const int glare = p.glareCount < 0 ? 0 : (p.glareCount > 3 ? 3 : p.glareCount);
    ShadeSkin(g, s, 1.0f, glare > 0 ? 6.0f * kRadianceUnit : 0.0f, b);
    const double visible = ShadeEye(g, s, b);
    t.irisVisibleFraction = visible / (kPi * g.R * g.R);
    t.eyeVisible = t.irisVisibleFraction >= 0.4;
    t.specularCount = AddSpeculars(g, p.look.reflections, b, b.rad, t.specularX, t.specularY);
    DrawLashes(g, s, b);
    DrawLashClusters(g, p.look.lashClusters < 0 ? 0 : (p.look.lashClusters > 6 ? 6 : p.look.lashClusters),
                     p.frameSeed, b);
    AddGlare(g, glare, p.frameSeed, b);
    t.glareCount = glare;
    t.defocusSigma = DefocusBlur(p.defocusSigma, b);
    if (p.motionLength >= 1.0) {
        MotionBlur(p.motionLength, p.motionAngleDeg, b);
        t.motionBlurLength = p.motionLength > 80 ? 80 : p.motionLength;
        t.motionBlurAngle = p.motionAngleDeg;
    }
    t.exposureFactor = ExposureFactor(controls);
    Quantize(b, t.exposureFactor, p.noise, controls.gain, HashCombine(p.frameSeed, p.subjectSeed), out);
    return t;
}

GroundTruth SceneRenderer::RenderEmpty(uint64_t frameSeed, const CameraControls& controls, uint8_t* out) {
    // The device's inside: dark plastic lit by the illuminators, the window's
    // rim and a few unsharp reflections of the light sources.
    Buffers& b = impl_->buffers;
    const uint64_t layout = Mix64(frameSeed >> 16);  // layout changes slowly; noise every frame
    Rng rng(layout);
    const double gx = rng.Range(300, 660), gy = rng.Range(220, 500), gr = rng.Range(300, 520);
    const double base = rng.Range(8, 16), glow = rng.Range(14, 32);
    for (int y = 0; y < kLowH; ++y)
        for (int x = 0; x < kLowW; ++x) {
            const double dx = (x * kLowStep - gx) / gr, dy = (y * kLowStep - gy) / gr;
            const double q = dx * dx + dy * dy;
            const double rx = (x * kLowStep - 480.0) / 560, ry = (y * kLowStep - 360.0) / 560;
            const double rim = 1 - 0.7 * Smoothstep(0.75, 1.05, rx * rx + ry * ry);
            b.lowL[y * kLowW + x] = static_cast<float>((base + glow / (1 + 2.5 * q)) * rim * kRadianceUnit);
            b.lowB[y * kLowW + x] = 0;
        }
    if (!impl_->interiorValid) {
        BuildSubject(0x1A7E410Eull, Eye::Left, impl_->interior);
        impl_->interiorValid = true;
    }
    const Subject& s = impl_->interior;
    EyeGeometry g;
    g.ex = 480;
    g.ey = 360;
    ShadeSkin(g, s, 0.6f, 0.0f, b);
    const int spots = rng.Int(1, 3);
    for (int k = 0; k < spots; ++k) {
        const double cx = rng.Range(80, 880), cy = rng.Range(60, 660), r = rng.Range(14, 40);
        const double peak = rng.Range(30, 110) * kRadianceUnit;
        for (int y = static_cast<int>(Clamp(cy - r - 2, 0, kFrameHeight)); y < static_cast<int>(Clamp(cy + r + 2, 0, kFrameHeight)); ++y)
            for (int x = static_cast<int>(Clamp(cx - r - 2, 0, kFrameWidth)); x < static_cast<int>(Clamp(cx + r + 2, 0, kFrameWidth)); ++x) {
                const double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
                const double m = Smoothstep(r, 0.4 * r, d);
                uint16_t& px = b.rad[static_cast<size_t>(y) * kFrameWidth + x];
                px = static_cast<uint16_t>(Clamp(px + peak * m, 0, 65535));
            }
    }
    DefocusBlur(1.5, b);
    GroundTruth t;
    t.exposureFactor = ExposureFactor(controls);
    Quantize(b, t.exposureFactor, 1.0, controls.gain, frameSeed, out);
    return t;
}

GroundTruth SceneRenderer::RenderNegative(NegativeKind kind, uint64_t seed, const CameraControls& controls,
                                          uint8_t* out) {
    if (kind == NegativeKind::DeviceInterior) return RenderEmpty(seed, controls, out);
    GroundTruth t = Render(NegativeParams(kind, seed), controls, out);
    t.eyeVisible = false;  // by construction; the fraction says how little shows
    return t;
}

}  // namespace k7qsim
