// A grid of thumbnails over the parameter ranges, for people to look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k7qsim {

struct ContactSheet {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    std::vector<std::string> captions;  // one per cell, row by row
};

// Twenty cells of 240 x 180 (a quarter of a frame), four across.
ContactSheet BuildContactSheet(uint64_t seed);

}  // namespace k7qsim
