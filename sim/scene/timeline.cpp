// A person at the device: arrives from outside the view and out of focus,
// drifts, blinks, settles in front of the cameras, looks away, leaves.
#include "sim/scene/timeline.h"

#include <cmath>
#include <vector>

#include "sim/scene/detmath.h"

namespace k7qsim {
namespace {

struct Key {
    double t, x, y, scale, gazeX, gazeY;
};

}  // namespace

struct PersonScript::Script {
    EyeParams person;          // the constant parts
    uint64_t seed = 0;
    double arrive = 0, gone = 0, baseOpening = 0.75;
    double camDx[2] = {0, 0}, camDy[2] = {0, 0};
    double driftPhase[4] = {0, 0, 0, 0};
    std::vector<Key> keys;
    std::vector<double> blinks;  // start times
};

namespace {
using Script = PersonScript::Script;

Script BuildScript(uint64_t seed) {
    Script s;
    s.seed = seed;
    Rng r(HashCombine(seed, 0x71e));
    s.person = RandomEyeParams(seed);
    s.person.scale = 1.0;
    s.person.tiltDeg = r.Range(-8, 8);
    s.person.noise = r.Range(0.8, 1.6);
    s.person.glareCount = r.Chance(0.2) ? r.Int(1, 2) : 0;
    s.person.pupilRatio = r.Range(0.3, 0.55);
    s.baseOpening = r.Range(0.62, 0.9);
    for (int i = 0; i < 2; ++i) {
        s.camDx[i] = r.Range(-40, 40);
        s.camDy[i] = r.Range(-30, 30);
    }
    for (double& p : s.driftPhase) p = r.Range(0, 2 * kPi);
    s.arrive = r.Range(500, 2500);
    // Approach: from beyond an edge, small and unsharp, to the first place.
    const int side = r.Int(0, 3);
    const double sx = side == 0 ? -350 : (side == 1 ? 1310 : r.Range(200, 760));
    const double sy = side == 2 ? -300 : (side == 3 ? 1020 : r.Range(150, 570));
    double t = s.arrive;
    s.keys.push_back({t, sx, sy, 0.8, 0, 0});
    t += r.Range(900, 1800);
    s.keys.push_back({t, r.Range(330, 630), r.Range(250, 470), r.Range(0.96, 1.04), 0, 0});
    const double leave = s.arrive + r.Range(14000, 26000);
    while (t < leave) {
        const Key last = s.keys.back();
        t += r.Range(500, 2500);  // hold
        s.keys.push_back({t, last.x, last.y, last.scale, last.gazeX, last.gazeY});
        t += r.Range(150, 600);   // move
        Key k{t, 0, 0, r.Range(0.95, 1.05), 0, 0};
        const double what = r.Uniform();
        if (what < 0.55) {  // settle inside the band
            k.x = r.Range(380, 580);
            k.y = r.Range(290, 430);
        } else if (what < 0.85) {  // drift outside the band, still in view
            const bool vertical = r.Chance(0.6);
            k.x = vertical ? r.Range(340, 620) : (r.Chance(0.5) ? r.Range(180, 315) : r.Range(645, 780));
            k.y = vertical ? (r.Chance(0.5) ? r.Range(150, 235) : r.Range(485, 590)) : r.Range(260, 460);
        } else {  // look away: the gaze and the head turn aside
            k.x = last.x + r.Range(-160, 160);
            k.y = last.y + r.Range(-60, 60);
            k.gazeX = r.Chance(0.5) ? r.Range(0.3, 0.5) : -r.Range(0.3, 0.5);
            k.gazeY = r.Range(-0.25, 0.25);
        }
        s.keys.push_back(k);
    }
    const Key last = s.keys.back();
    t += r.Range(300, 1200);
    s.keys.push_back({t, last.x, last.y, last.scale, last.gazeX, last.gazeY});
    t += r.Range(600, 1000);
    s.keys.push_back({t, last.x + r.Range(-200, 200), r.Chance(0.5) ? -400.0 : 1100.0, 0.82, 0, 0});
    s.gone = t;
    for (double b = s.arrive + r.Range(800, 3000); b < s.gone; b += r.Range(1800, 5200)) s.blinks.push_back(b);
    return s;
}

// Position, scale and gaze at t, smooth between keys, plus slow drift and tremor.
Key Pose(const Script& s, double t) {
    size_t k = 0;
    while (k + 2 < s.keys.size() && s.keys[k + 1].t <= t) ++k;
    const Key& a = s.keys[k];
    const Key& b = s.keys[k + 1];
    const double f = Smoothstep(a.t, b.t, t);
    Key p{t, Lerp(a.x, b.x, f), Lerp(a.y, b.y, f), Lerp(a.scale, b.scale, f), Lerp(a.gazeX, b.gazeX, f),
          Lerp(a.gazeY, b.gazeY, f)};
    const double w = 2 * kPi / 1000.0;
    p.x += 7 * DSin(w * 0.31 * t + s.driftPhase[0]) + 1.2 * DSin(w * 4.1 * t + s.driftPhase[2]);
    p.y += 5 * DSin(w * 0.23 * t + s.driftPhase[1]) + 1.0 * DSin(w * 3.7 * t + s.driftPhase[3]);
    return p;
}

double BlinkFactor(const Script& s, double t) {
    for (double b : s.blinks) {
        const double d = t - b;
        if (d < 0 || d > 330) continue;
        if (d < 80) return 1 - Smoothstep(0, 80, d);
        if (d < 130) return 0;
        return Smoothstep(130, 330, d);
    }
    return 1;
}

}  // namespace

PersonScript::PersonScript(uint64_t seed) : s_(new Script(BuildScript(seed))) {}
PersonScript::~PersonScript() = default;
double PersonScript::ArrivalMs() const { return s_->arrive; }
double PersonScript::GoneMs() const { return s_->gone; }

bool PersonScript::ParamsAt(Eye eye, double t, EyeParams& p) const {
    const Script& s = *s_;
    if (!(t >= s.arrive && t < s.gone)) return false;
    const int cam = eye == Eye::Left ? 0 : 1;
    const Key now = Pose(s, t);
    const Key before = Pose(s, t - 2), after = Pose(s, t + 2);
    p = s.person;
    p.eye = eye;
    p.centerX = now.x + s.camDx[cam];
    p.centerY = now.y + s.camDy[cam];
    p.scale = now.scale;
    p.gazeX = now.gazeX;
    p.gazeY = now.gazeY;
    p.opening = s.baseOpening * BlinkFactor(s, t);
    p.pupilRatio = s.person.pupilRatio + 0.03 * DSin(2 * kPi * t / 2300.0);
    p.defocusSigma = 14.0 * std::fabs(now.scale - 1.0) + 0.3;
    // Smear over an 8 ms exposure.
    const double vx = (after.x - before.x) / 4.0, vy = (after.y - before.y) / 4.0;
    p.motionLength = std::sqrt(vx * vx + vy * vy) * 8.0;
    double ang = DAtan2(vy, vx) * 180.0 / kPi;
    ang = ang < 0 ? ang + 180.0 : ang;
    p.motionAngleDeg = ang >= 180.0 ? ang - 180.0 : ang;
    if (p.motionLength < 1.0) p.motionLength = 0;
    p.frameSeed = HashCombine(HashCombine(s.seed, static_cast<uint64_t>(cam)), static_cast<uint64_t>(RoundToInt(t * 8)));
    return true;
}

struct SceneTimeline::Impl {
    uint64_t seed;
    PersonScript script;
    SceneRenderer renderer;
};

SceneTimeline::SceneTimeline(uint64_t seed) : impl_(new Impl{seed, PersonScript(seed), {}}) {}
SceneTimeline::~SceneTimeline() { delete impl_; }

GroundTruth SceneTimeline::Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* out) {
    EyeParams p;
    if (!impl_->script.ParamsAt(eye, timeMs, p)) {
        // The same inside of the device for the whole timeline, fresh noise each frame.
        const uint64_t frame = static_cast<uint64_t>(RoundToInt(timeMs * 8 < 0 ? 0 : timeMs * 8));
        const uint64_t cam = eye == Eye::Left ? 0 : 0x8000;
        GroundTruth t = impl_->renderer.RenderEmpty((Mix64(impl_->seed) & ~0xFFFFull) | ((frame + cam) & 0xFFFF),
                                                    controls, out);
        t.eye = eye;
        return t;
    }
    return impl_->renderer.Render(p, controls, out);
}

double SceneTimeline::ArrivalMs() const { return impl_->script.ArrivalMs(); }
double SceneTimeline::GoneMs() const { return impl_->script.GoneMs(); }

}  // namespace k7qsim
