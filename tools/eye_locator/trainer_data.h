// Training material for the eye locator: rendered frames kept as their feature
// planes (computed by the detector's own stages), and labelled windows.
#pragma once

#include <cstdint>
#include <vector>

#include "modules/eye_locator_stages.h"
#include "tools/eye_locator/eye_frames.h"

namespace eyetools {

struct FrameRecord {
    bool hasEye = false;  // a clearly visible eye (positives come only from these)
    bool ignoreEye = false;  // a doubtful eye: windows on it are neither positive nor negative
    Box truth{0, 0, 0, 0};
    double bestIoU = 0;  // of the best-fitting window over every scale
};

struct Sample {
    int32_t frame;
    int16_t i, j;
};

class TrainingSet {
public:
    explicit TrainingSet(eyeloc::Context* context) : context_(context) {}
    // Runs the detector's feature stages on the frame and keeps the planes.
    void AddFrame(const uint8_t* frame, const k7qsim::GroundTruth& truth);
    int32_t Frames() const { return static_cast<int32_t>(records_.size()); }
    const FrameRecord& Record(int32_t frame) const { return records_[frame]; }
    // Loads a kept frame's planes back into a context of the same geometry.
    void Load(int32_t frame, eyeloc::Context* into) const;
    // The window's value at position `entry` of the scale's feature list.
    uint8_t Value(const Sample& s, int scale, int32_t entry) const;
    // Frame-pixel box of a window.
    Box WindowBox(int scale, int32_t i, int32_t j) const;
    // +1 positive, -1 negative, 0 neither.
    int Label(int scale, int32_t frame, int32_t i, int32_t j) const;

private:
    eyeloc::Context* context_;
    std::vector<uint8_t> planes_;  // kPlanes x N per frame; every value fits a byte
    std::vector<FrameRecord> records_;
};

}  // namespace eyetools
