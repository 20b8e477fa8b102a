// The image properties of a virtual eye camera, with the ranges, defaults and
// flags of a UVC camera as Windows presents it through IAMVideoProcAmp and
// IAMCameraControl. Thread-safe: the control writes them from its threads
// while the streaming thread reads them for every frame.
#pragma once

#include <cstdint>
#include <mutex>

#include "sim/scene/scene.h"

namespace k7qsim {

// The flag values of DirectShow's property interfaces.
constexpr long kPropertyFlagAuto = 0x1;
constexpr long kPropertyFlagManual = 0x2;

struct PropertyRange {
    bool supported = false;
    long minimum = 0, maximum = 0, step = 1, defaultValue = 0;
    long capsFlags = 0;
};

enum class PropertyStatus { Ok, Unsupported, OutOfRange, BadFlags };

// One table of properties indexed by their DirectShow ids.
class PropertyTable {
public:
    static constexpr int kMaxProperties = 16;

    void Define(int id, const PropertyRange& range);
    PropertyStatus GetRange(int id, PropertyRange* range) const;
    PropertyStatus Get(int id, long* value, long* flags) const;
    // Refuses values outside [minimum, maximum], off the step grid, and flags
    // other than exactly one of the advertised auto and manual flags.
    PropertyStatus Set(int id, long value, long flags);

private:
    struct Entry {
        PropertyRange range;
        long value = 0;
        long flags = 0;
    };
    const Entry* Find(int id) const;

    mutable std::mutex lock_;
    Entry entries_[kMaxProperties];
};

// Both tables of one camera: video processing amplifier ids 0 to 9
// (brightness ... gain) and camera control ids 0 to 6 (pan ... focus).
class CameraProperties {
public:
    // DirectShow ids used by the frame rendering.
    static constexpr int kBacklightCompensation = 8;
    static constexpr int kGain = 9;
    static constexpr int kExposure = 4;

    CameraProperties();

    PropertyTable& ProcAmp() { return procAmp_; }
    PropertyTable& CameraControl() { return cameraControl_; }

    // The settings that change the rendered picture, read once per frame.
    CameraControls RenderControls() const;

private:
    PropertyTable procAmp_;
    PropertyTable cameraControl_;
};

}  // namespace k7qsim
