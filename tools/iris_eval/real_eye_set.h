// A folder of real eye photographs with their pupil and iris circles
// (truth.csv beside images/), read at run time: the photographs belong to
// their datasets' owners and never enter the project.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace iriseval {

struct TruthCircle {
    bool known = false;
    double x = 0, y = 0, r = 0;
};

struct RealEye {
    std::string file;   // relative to the folder
    std::string group;  // the file name's prefix: the camera or dataset
    int width = 0, height = 0;
    TruthCircle pupil, iris;
};

// Rows of `folder`/truth.csv; an empty list and `error` set when unreadable.
std::vector<RealEye> ReadTruth(const std::string& folder, std::string* error);

// An 8-bit gray picture (gray PNGs, or RGB ones turned gray).
struct GrayPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};
bool LoadPng(const std::string& path, GrayPicture* out);

constexpr int kWorkSide = 720;

// Places a photograph at its own pixel scale in the middle of a 720 x 720
// working image. The margin repeats the picture's nearest edge pixel and
// fades it to the mean of the picture's border over kPadFade pixels, so
// that no hard seam or streak stands where the photograph ends. The
// offset added to the photograph's coordinates is returned.
constexpr int kPadFade = 48;
void PlaceInWorkingImage(const GrayPicture& picture, uint8_t* work, int* offsetX, int* offsetY);

}  // namespace iriseval
