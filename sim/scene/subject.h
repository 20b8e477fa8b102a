// A person's fixed appearance, built once per subject seed and eye: the iris
// pattern in polar form, lid shape, skin and brow textures, eyelashes.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/scene/scene.h"

namespace k7qsim {

constexpr int kIrisAngles = 1024;  // texture columns over one turn
constexpr int kIrisRadii = 96;     // rows from the pupil edge (0) to the limbus
constexpr int kTileSize = 512;     // skin and brow tiles, wrapped
constexpr int kTileMask = kTileSize - 1;

struct Lash {
    float t;       // position along the lid, -1 nasal corner .. 1 outer corner
    float length;  // iris radii
    float lean;    // radians away from straight out of the lid
    float curl;    // bend, fraction of the length
    float width;   // pixels at the root
    float dark;    // 0..1
    bool lower;
};

struct Subject {
    uint64_t seed = 0;
    Eye eye = Eye::Left;
    // Lid geometry, iris radii; v grows downwards, t from nasal (-1) to outer (+1).
    float halfWidth = 2.5f;
    float cornerNasalV = 0.12f, cornerOuterV = -0.05f;
    float upperRise = 1.45f;  // wide-open upper lid above the corner line
    float lowerSag = 0.9f;
    float creaseGap = 0.45f;
    float browGap = 2.3f, browThick = 0.32f;
    // Reflectances under the device's light, gray at backlight 230.
    float skin = 140, sclera = 168, iris = 88, pupil = 9, lash = 0.8f;
    std::vector<float> irisTexture;  // kIrisAngles x kIrisRadii factors about 1, while building
    std::vector<uint16_t> irisTable; // the same x 16384, compact for rendering
    std::vector<int16_t> skinTile;   // kTileSize^2, relative brightness x 4096
    std::vector<uint8_t> hairTile;   // kTileSize^2, brow hair coverage
    std::vector<Lash> lashes;
};

void BuildSubject(uint64_t seed, Eye eye, Subject& out);

// Upper and lower lid margins at position t for an opening, in iris radii.
float LowerLidV(const Subject& s, float t);
float UpperLidV(const Subject& s, float t, float opening);
float CreaseV(const Subject& s, float t);

}  // namespace k7qsim
