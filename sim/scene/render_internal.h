// Stages of one frame, shared by the renderer's files. Radiance is kept as
// 16-bit gray x 16 at exposure factor 1, so highlights can exceed white and
// blur before the sensor clips them.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/scene/scene_render.h"
#include "sim/scene/subject.h"

namespace k7qsim {

constexpr int kRadianceUnit = 16;
constexpr int kLowStep = 8;
constexpr int kLowW = kFrameWidth / kLowStep + 1, kLowH = kFrameHeight / kLowStep + 1;
constexpr int kLidTable = 2048;  // lid margins per pixel column of the eye, centred

struct Buffers {
    std::vector<uint16_t> rad, tmp;
    std::vector<uint8_t> lashCov;
    std::vector<uint32_t> acc;
    std::vector<float> lowL, lowB, lineL, lineB;
    std::vector<float> lidUp, lidLo, crease;  // local v in pixels by nasal-outer pixel
    Buffers();
};

// Where the eye sits in this frame. Local coordinates: u along the eye
// (rotated by the tilt), v downwards; un = u with the nose side negative.
struct EyeGeometry {
    double ex = 0, ey = 0, R = 100, cs = 1, sn = 0;
    int mirror = 1;
    double icx = 0, icy = 0, pcx = 0, pcy = 0, rp = 40;
    double opening = 0.75, halfWidthPx = 250;
    float pupilGray = 9, irisGray = 88, skinGain = 1;
    float limbusWidth = 2.2f, limbusReach = 1.2f, limbusDarkening = 0.45f;
    void ToFrame(double un, double v, double& x, double& y) const {
        const double u = mirror * un;
        x = ex + cs * u - sn * v;
        y = ey + sn * u + cs * v;
    }
    void ToLocal(double x, double y, double& un, double& v) const {
        const double dx = x - ex, dy = y - ey;
        un = mirror * (cs * dx + sn * dy);
        v = -sn * dx + cs * dy;
    }
};

EyeGeometry MakeGeometry(const EyeParams& p, const Subject& s);
void FillLidTables(const EyeGeometry& g, const Subject& s, Buffers& b);

// Skin everywhere: low-resolution shading times the subject's skin and brow
// tiles. `textureGain` 0 gives a smooth surface.
void ShadeSkin(const EyeGeometry& g, const Subject& s, float textureGain, float veil, Buffers& b);
void FillFaceField(const EyeGeometry& g, const Subject& s, Buffers& b);
// Lids, eyeball, iris, pupil; returns the visible iris area in pixels.
double ShadeEye(const EyeGeometry& g, const Subject& s, Buffers& b);
int AddSpeculars(const EyeGeometry& g, Reflections layout, const Buffers& b, std::vector<uint16_t>& rad, double xs[2],
                 double ys[2]);
void DrawLashClusters(const EyeGeometry& g, int count, uint64_t seed, Buffers& b);
void DrawLashes(const EyeGeometry& g, const Subject& s, Buffers& b);
void AddGlare(const EyeGeometry& g, int count, uint64_t seed, Buffers& b);

// Returns the blur actually applied (sigma of the combined kernel).
double DefocusBlur(double sigma, Buffers& b);
void MotionBlur(double length, double angleDeg, Buffers& b);
void Quantize(const Buffers& b, double exposure, double noise, double gain, uint64_t seed, uint8_t* out);

}  // namespace k7qsim
