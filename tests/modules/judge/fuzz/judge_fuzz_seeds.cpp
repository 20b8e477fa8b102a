// Writes the fuzz target's seeds: rendered eye bitmaps (good, blurred, lids
// half closed) and a truncated and a foreign-header copy.
#include <cstdio>
#include <string>

#include "tests/modules/judge/judge_scene.h"

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& bytes, size_t size) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, size, f);
        std::fclose(f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    const std::string dir = argv[1];
    JudgeSceneMaker maker;
    k7qsim::EyeParams p = GoodEye(3);
    const std::vector<uint8_t> good = maker.Make(p).bitmap;
    Write(dir + "/good.bmp", good, good.size());
    Write(dir + "/truncated.bmp", good, 1100);
    p.defocusSigma = 3;
    const std::vector<uint8_t> blurred = maker.Make(p).bitmap;
    Write(dir + "/blurred.bmp", blurred, blurred.size());
    p = GoodEye(4);
    p.opening = 0.4;
    std::vector<uint8_t> lids = maker.Make(p).bitmap;
    Write(dir + "/lids.bmp", lids, lids.size());
    lids[28] = 24;
    Write(dir + "/deep.bmp", lids, lids.size());
    return 0;
}
