#include <cmath>

#include "sim/scene/detmath.h"
#include "sim/scene/render_internal.h"

namespace k7qsim {
namespace {

inline float Bumpf(float x) { return x <= -1.0f || x >= 1.0f ? 0.0f : (1 - x * x) * (1 - x * x); }
inline float Clampf(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }
inline float Smoothf(float e0, float e1, float x) {
    const float t = Clampf((x - e0) * (1.0f / (e1 - e0)), 0.0f, 1.0f);  // a constant after inlining
    return t * t * (3 - 2 * t);
}
inline uint16_t ToRadiance(float v) { return static_cast<uint16_t>(Clampf(v, 0.0f, 65535.0f) + 0.5f); }

}  // namespace

Buffers::Buffers()
    : rad(kFrameBytes), tmp(kFrameBytes), lashCov(kFrameBytes), acc(kFrameWidth),
      lowL(kLowW * kLowH), lowB(kLowW * kLowH), lineL(kFrameWidth), lineB(kFrameWidth), lidUp(kLidTable), lidLo(kLidTable), crease(kLidTable) {}

EyeGeometry MakeGeometry(const EyeParams& p, const Subject& s) {
    EyeGeometry g;
    g.ex = p.centerX;
    g.ey = p.centerY;
    g.R = Clamp(p.irisRadius, 20, 200) * Clamp(p.scale, 0.5, 2.0);
    const double tilt = Clamp(p.tiltDeg, -45, 45) * kPi / 180;
    g.cs = DCos(tilt);
    g.sn = DSin(tilt);
    g.mirror = p.eye == Eye::Left ? 1 : -1;
    g.icx = g.ex + Clamp(p.gazeX, -0.8, 0.8) * g.R;
    g.icy = g.ey + Clamp(p.gazeY, -0.8, 0.8) * g.R;
    // A positive offset is towards the nose: leftwards in the frame for a left eye.
    g.pcx = g.icx - g.mirror * Clamp(p.pupilOffsetX, -0.2, 0.2) * g.R;
    g.pcy = g.icy + Clamp(p.pupilOffsetY, -0.2, 0.2) * g.R;
    g.rp = Clamp(p.pupilRatio, 0.1, 0.8) * g.R;
    g.opening = Clamp(p.opening, 0, 1);
    g.halfWidthPx = s.halfWidth * g.R;
    const RealEyeLook& look = p.look;
    g.irisGray = look.irisGain == 1 ? s.iris : static_cast<float>(Clamp(look.irisGain, 0.3, 3.0) * s.iris);
    g.pupilGray = look.pupilShade > 0 ? static_cast<float>(Clamp(look.pupilShade, 0.01, 1) * g.irisGray) : s.pupil;
    g.skinGain = static_cast<float>(Clamp(look.skinGain, 0.5, 3.0));
    if (look.limbusWidth > 0) {
        // A soft limbus: a wide blend into the sclera without the dark ring.
        g.limbusWidth = static_cast<float>(Clamp(look.limbusWidth, 1, 40));
        g.limbusReach = 0.5f * g.limbusWidth + 0.1f;
        g.limbusDarkening = 0.15f;
    }
    return g;
}

void FillLidTables(const EyeGeometry& g, const Subject& s, Buffers& b) {
    for (int i = 0; i < kLidTable; ++i) {
        const double un = i - kLidTable / 2;
        float t = static_cast<float>(un / g.halfWidthPx);
        t = Clampf(t, -1.0f, 1.0f);
        const float R = static_cast<float>(g.R);
        b.lidUp[i] = UpperLidV(s, t, static_cast<float>(g.opening)) * R;
        b.lidLo[i] = LowerLidV(s, t) * R;
        b.crease[i] = CreaseV(s, t) * R;
    }
}

void FillFaceField(const EyeGeometry& g, const Subject& s, Buffers& b) {
    for (int gy = 0; gy < kLowH; ++gy)
        for (int gx = 0; gx < kLowW; ++gx) {
            const double x = gx * kLowStep, y = gy * kLowStep;
            double un, v;
            g.ToLocal(x, y, un, v);
            un /= g.R;
            v /= g.R;
            const double t = un / s.halfWidth;
            const double q = (un / (1.3 * s.halfWidth)) * (un / (1.3 * s.halfWidth)) + ((v - 0.1) / 1.7) * ((v - 0.1) / 1.7);
            double f = 1.0 - 0.2 / (1.0 + 3.0 * q * q);
            f *= 1.0 + 0.07 * Bumpf(static_cast<float>((v + s.browGap - 0.75) / 0.6));
            f *= 1.0 - 0.2 * Smoothstep(-1.1, -2.6, t) * (0.45 + 0.55 * Smoothstep(-1.8, 0.8, v));  // the nose's shade
            f *= 1.0 - 0.08 * Bumpf(static_cast<float>((v - 1.5) / 0.45)) * Bumpf(static_cast<float>(t * 0.8));
            // The upper lid's fold: a soft dark crease, lit skin above it, a bulge below.
            const float tf = static_cast<float>(t);
            const double fold = g.opening * Bumpf(tf * 0.95f);
            if (fold > 0) {
                const double vC = CreaseV(s, Clampf(tf, -1, 1)), vU = UpperLidV(s, Clampf(tf, -1, 1), static_cast<float>(g.opening));
                const double cw = 0.07 + 2.0 / g.R, dc = (v - vC) / cw;
                f *= 1.0 - 0.2 * fold * Bumpf(static_cast<float>(dc)) + 0.05 * fold * Bumpf(static_cast<float>((dc + 1.5) / 1.5));
                if (v > vC && v < vU) f *= 1.0 + 0.09 * Bumpf(tf) * Bumpf(static_cast<float>((2 * v - vC - vU) / (vU - vC + 0.01)));
            }
            const double rx = (x - 480) / 640, ry = (y - 360) / 640;
            f *= 1.0 - 0.3 * (rx * rx + ry * ry);
            b.lowL[gy * kLowW + gx] = static_cast<float>(s.skin * f * kRadianceUnit);
            const double vb = -s.browGap - 0.3 * Bumpf(static_cast<float>((t - 0.3) / 1.6));
            const double half = s.browThick * (1 - 0.35 * t);
            const double along = Smoothstep(-1.35, -1.0, t) * (1 - Smoothstep(1.05, 1.4, t));
            const double dv = std::fabs(v - vb);
            b.lowB[gy * kLowW + gx] = static_cast<float>(0.7 * along * Smoothstep(half, 0.5 * half, dv));
        }
}

void ShadeSkin(const EyeGeometry& g, const Subject& s, float textureGain, float veil, Buffers& b) {
    const int ox = -RoundToInt(g.ex), oy = -RoundToInt(g.ey);
    float rowL[kLowW], rowB[kLowW];
    const float tg = textureGain / 4096.0f;
    for (int y = 0; y < kFrameHeight; ++y) {
        const int gy = y / kLowStep;
        const int gy1 = gy + 1 < kLowH ? gy + 1 : gy;
        const float fy = static_cast<float>(y % kLowStep) / kLowStep;
        const float* l0 = &b.lowL[gy * kLowW];
        const float* l1 = &b.lowL[gy1 * kLowW];
        const float* b0 = &b.lowB[gy * kLowW];
        const float* b1 = &b.lowB[gy1 * kLowW];
        for (int i = 0; i < kLowW; ++i) {
            rowL[i] = l0[i] + (l1[i] - l0[i]) * fy;
            rowB[i] = b0[i] + (b1[i] - b0[i]) * fy;
        }
        const int16_t* skin = &s.skinTile[static_cast<size_t>((y + oy) & kTileMask) * kTileSize];
        const uint8_t* hair = &s.hairTile[static_cast<size_t>((y + oy) & kTileMask) * kTileSize];
        uint16_t* out = &b.rad[static_cast<size_t>(y) * kFrameWidth];
        // The field along the row, then the tiles in runs without wrap-around.
        float* lineL = b.lineL.data();
        float* lineB = b.lineB.data();
        for (int gx = 0; gx + 1 < kLowW; ++gx) {
            float L = rowL[gx], B = rowB[gx];
            const float dL = (rowL[gx + 1] - L) * (1.0f / kLowStep), dB = (rowB[gx + 1] - B) * (1.0f / kLowStep);
            for (int k = 0; k < kLowStep; ++k) {
                lineL[gx * kLowStep + k] = g.skinGain == 1.0f ? L : L * g.skinGain;
                lineB[gx * kLowStep + k] = B * (0.85f / 255.0f);
                L += dL;
                B += dB;
            }
        }
        for (int x0 = 0; x0 < kFrameWidth;) {
            const int t0 = (x0 + ox) & kTileMask;
            const int n = kTileSize - t0 < kFrameWidth - x0 ? kTileSize - t0 : kFrameWidth - x0;
            const int16_t* sk = skin + t0;
            const uint8_t* hr = hair + t0;
            const float* lL = lineL + x0;
            const float* lB = lineB + x0;
            uint16_t* o = out + x0;
            for (int i = 0; i < n; ++i) {
                float v = lL[i] * (1.0f + tg * static_cast<float>(sk[i])) * (1.0f - lB[i] * static_cast<float>(hr[i])) + veil;
                int32_t iv = static_cast<int32_t>(v + 0.5f);  // v is never negative here
                iv = iv < 65535 ? iv : 65535;
                o[i] = static_cast<uint16_t>(iv);
            }
            x0 += n;
        }
    }
}

namespace {

struct IrisShade {
    const EyeGeometry& g;
    const Subject& s;
    float R, rp, tiltTurns, invSpan;
    float Value(float x, float y, float& irisWeight) const {
        const float dxi = x - static_cast<float>(g.icx), dyi = y - static_cast<float>(g.icy);
        const float d2 = dxi * dxi + dyi * dyi;
        const float reach = g.limbusReach;
        if (d2 >= (R + reach) * (R + reach)) {
            irisWeight = 0;
            return 0;
        }
        const float d = std::sqrt(d2);
        irisWeight = Clampf((R - d) * (1 / g.limbusWidth) + 0.5f, 0, 1);
        if (irisWeight <= 0) return 0;
        const float dxp = x - static_cast<float>(g.pcx), dyp = y - static_cast<float>(g.pcy);
        const float dp = std::sqrt(dxp * dxp + dyp * dyp);
        const float pupilWeight = Clampf(rp - dp + 0.5f, 0, 1);
        float rho = (dp - rp) * invSpan;
        rho = Clampf(rho, 0, 0.9999f) * (kIrisRadii - 1);
        // Angle in turns, shifted positive so that truncation is the floor.
        const float ta = (FAtan2(dyp, dxp * g.mirror) * (1.0f / 6.2831853f) + tiltTurns + 2.0f) * kIrisAngles;
        const int ai = static_cast<int>(ta);
        const int a0 = ai & (kIrisAngles - 1), a1 = (a0 + 1) & (kIrisAngles - 1);
        const int r0 = static_cast<int>(rho), r1 = r0 + 1 < kIrisRadii ? r0 + 1 : r0;
        const float fa = ta - static_cast<float>(ai), fr = rho - static_cast<float>(r0);
        const uint16_t* tex = s.irisTable.data();
        const float p00 = tex[r0 * kIrisAngles + a0], p01 = tex[r0 * kIrisAngles + a1];
        const float p10 = tex[r1 * kIrisAngles + a0], p11 = tex[r1 * kIrisAngles + a1];
        const float t0 = (p00 + (p01 - p00) * fa) * (1.0f / 16384.0f);
        const float t1 = (p10 + (p11 - p10) * fa) * (1.0f / 16384.0f);
        const float dr = d / R;
        const float limbus = 1.0f - g.limbusDarkening * Smoothf(0.8f, 1.0f, dr);
        const float iris = g.irisGray * kRadianceUnit * (t0 + (t1 - t0) * fr) * limbus;
        const float pupil = g.pupilGray * kRadianceUnit * (1.0f + 0.25f * dp / (rp + 1));
        return pupilWeight * pupil + (1 - pupilWeight) * iris;
    }
};

}  // namespace

double ShadeEye(const EyeGeometry& g, const Subject& s, Buffers& b) {
    const float R = static_cast<float>(g.R);
    // Local box: corners to corners, crease to below the lower lid.
    const double uMax = g.halfWidthPx + 0.1 * g.R;
    double vMin = 0, vMax = 0;
    for (int i = 0; i < kLidTable; ++i) {
        if (std::fabs(i - kLidTable / 2) > uMax) continue;
        vMin = b.lidUp[i] < vMin ? b.lidUp[i] : vMin;
        vMax = b.lidLo[i] > vMax ? b.lidLo[i] : vMax;
    }
    vMin -= 0.04 * g.R + 6;
    vMax += 0.12 * g.R + 8;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (int k = 0; k < 4; ++k) {
        double x, y;
        g.ToFrame(k & 1 ? uMax : -uMax, k & 2 ? vMax : vMin, x, y);
        x0 = x < x0 ? x : x0; x1 = x > x1 ? x : x1;
        y0 = y < y0 ? y : y0; y1 = y > y1 ? y : y1;
    }
    const int px0 = static_cast<int>(Clamp(std::floor(x0), 0, kFrameWidth)), px1 = static_cast<int>(Clamp(std::ceil(x1), 0, kFrameWidth));
    const int py0 = static_cast<int>(Clamp(std::floor(y0), 0, kFrameHeight)), py1 = static_cast<int>(Clamp(std::ceil(y1), 0, kFrameHeight));
    const IrisShade iris{g, s, R, static_cast<float>(g.rp), 0.0f, 1.0f / (R - static_cast<float>(g.rp))};
    const float cs = static_cast<float>(g.cs), sn = static_cast<float>(g.sn), mir = static_cast<float>(g.mirror);
    const float hw = static_cast<float>(g.halfWidthPx), invHw = 1 / hw;
    const float uMaxF = static_cast<float>(uMax < kLidTable / 2 - 2 ? uMax : kLidTable / 2 - 2);
    const float marginW = 0.03f * R + 1.5f;
    const float invMargin = 1 / marginW, invWet = 1 / (0.015f * R + 1.0f);
    const int ox = -RoundToInt(g.ex), oy = -RoundToInt(g.ey);
    double visibleIris = 0;
    for (int y = py0; y < py1; ++y) {
        const float dy = static_cast<float>(y - g.ey);
        uint16_t* row = &b.rad[static_cast<size_t>(y) * kFrameWidth];
        const int16_t* skinRow = &s.skinTile[static_cast<size_t>((y + oy) & kTileMask) * kTileSize];
        for (int x = px0; x < px1; ++x) {
            const float dx = static_cast<float>(x - g.ex);
            const float un = mir * (cs * dx + sn * dy), v = -sn * dx + cs * dy;
            if (std::fabs(un) > uMaxF) continue;
            const int idx = static_cast<int>(un + 0.5f + kLidTable / 2);  // positive: truncation rounds
            const float vU = b.lidUp[idx], vL = b.lidLo[idx];
            if (v < vU - 1.5f - marginW || v > vL + 0.06f * R + 3.0f + marginW) continue;
            float sk = row[x];
            const float tc = un * invHw;
            const float ends = Smoothf(1.04f, 0.97f, std::fabs(tc));
            if (ends > 0) {
                const float dl = v - vL;
                sk *= 1.0f - 0.5f * ends * Bumpf((vU - v - 1.5f) * invMargin);
                sk *= 1.0f + ends * (0.12f * Bumpf((dl - 1.0f) * invWet) - 0.12f * Bumpf((dl - 0.06f * R - 3.0f) * invMargin));
            }
            const float alpha = Clampf((v - vU) * (1 / 1.2f) + 0.5f, 0, 1) * Clampf((vL - v) * (1 / 1.2f) + 0.5f, 0, 1);
            if (alpha <= 0) {
                row[x] = ToRadiance(sk);
                continue;
            }
            const float t = Clampf(un * invHw, -1, 1);
            const float tex = skinRow[(x + ox) & kTileMask] * (1.0f / 4096.0f);
            float sclera = s.sclera * kRadianceUnit * (1.0f - 0.4f * t * t) * (1.0f + 0.6f * tex);
            if (g.skinGain != 1.0f) sclera *= g.skinGain;
            const float car = Smoothf(-0.8f, -0.97f, t);
            if (car > 0) sclera += (110.0f * kRadianceUnit * (1.0f + 3.0f * tex) - sclera) * car;
            float iw;
            const float irisV = iris.Value(static_cast<float>(x), static_cast<float>(y), iw);
            float eye = sclera + (irisV - sclera) * iw;
            const float su = Clampf(1.0f - (v - vU) / (0.25f * R), 0, 1);
            const float sl = Clampf(1.0f - (vL - v) / (0.1f * R), 0, 1);
            eye *= (1.0f - 0.45f * su * su) * (1.0f - 0.2f * sl * sl);
            visibleIris += alpha * iw;
            row[x] = ToRadiance(sk + (eye - sk) * alpha);
        }
    }
    return visibleIris;
}

}  // namespace k7qsim
