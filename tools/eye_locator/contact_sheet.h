// A contact sheet of detections for people to look at: thumbnails of frames of
// every kind (well-placed eyes, eyes outside the band, eye-free frames), the
// true eye box drawn dotted, the reported boxes solid; captions in a text file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/eye_locator/eye_evaluation.h"

namespace eyetools {

class SheetBuilder {
public:
    explicit SheetBuilder(uint64_t seed);
    eyetools::Observer Observer();
    // Writes the PNG and, beside it, a .txt with one caption per cell.
    bool Write(const std::string& path) const;

private:
    void Offer(const k7qsim::GroundTruth& truth, const uint8_t* frame, int32_t eyes, const int32_t* rect);
    uint64_t state_;
    int64_t seen_[3] = {0, 0, 0};
    std::vector<std::vector<uint8_t>> cells_[3];
    std::vector<std::string> captions_[3];
};

}  // namespace eyetools
