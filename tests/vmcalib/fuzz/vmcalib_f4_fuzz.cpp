// libFuzzer target over f4: the first bytes draw a synthetic eye (pupil and
// iris discs of fuzzed places, sizes and levels, so the search gets past the
// pupil into the edge fits and measures); the rest is tiled over the image
// as texture. Every call must stay inside the image, the records and the
// two areas, whatever the pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "modules/vmcalib/vmcalib_entries.h"
#include "modules/vmcalib/vmcalib_records.h"

namespace {

constexpr int kSide = 720;

void Draw(const uint8_t* data, size_t size, uint8_t* image) {
    uint8_t p[12] = {};
    std::memcpy(p, data, size < sizeof p ? size : sizeof p);
    const int cx = p[0] * kSide / 256, cy = p[1] * kSide / 256;
    const int irisR = 20 + p[2], pupilR = 5 + p[3] * irisR / 300;
    const int px = cx + static_cast<int8_t>(p[4]) / 8, py = cy + static_cast<int8_t>(p[5]) / 8;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int di = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const int dp = (x - px) * (x - px) + (y - py) * (y - py);
            uint8_t v = p[6];
            if (di < irisR * irisR) v = p[7];
            if (dp < pupilR * pupilR) v = p[8];
            image[y * kSide + x] = v;
        }
    if (size > sizeof p) {
        const size_t n = size - sizeof p;
        const uint8_t* texture = data + sizeof p;
        for (size_t i = 0; i < static_cast<size_t>(kSide) * kSide; ++i)
            image[i] = static_cast<uint8_t>(image[i] + (texture[i % n] & (p[9] | 1)) - ((p[9] | 1) >> 1));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> image(static_cast<size_t>(kSide) * kSide);
    static bool initialised = VmCaLib_f1("", 0, 0) == 1;
    if (!initialised) __builtin_trap();
    Draw(data, size, image.data());
    // Exact-size areas: AddressSanitizer sees any write past them.
    std::vector<char> text(kVmTextBytes);
    std::vector<uint8_t> iris(kVmIrisOutBytes);
    int32_t roi[4] = {39, 119, 639, 479};
    VmCaWord in[kVmInWords] = {kVmInKindGray720, 0, reinterpret_cast<VmCaWord>(image.data()), 0, 0,
                               reinterpret_cast<VmCaWord>(roi), 0};
    VmCaWord out[kVmOutWords] = {};
    out[kVmOutText] = reinterpret_cast<VmCaWord>(text.data());
    out[kVmOutIris] = reinterpret_cast<VmCaWord>(iris.data());
    const int32_t result = VmCaLib_f4(0, in, out);
    if (result != 1 && (result > -1 || result < -20)) __builtin_trap();  // only the documented codes
    if (strnlen(text.data(), text.size()) == text.size()) __builtin_trap();  // the text is terminated
    return 0;
}
