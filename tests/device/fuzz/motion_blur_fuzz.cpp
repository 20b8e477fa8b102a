// libFuzzer target: any square and any image must give a valid status, and a
// score in (0, 1] exactly when the status is 0, without a read or write
// outside the image or the scratch (AddressSanitizer).
//
// Input: a mode byte, four 16-bit coordinates (or, in mode bit 0, four 32-bit
// ones), then the image contents, tiled over the 720x720 image. Mode bit 1
// spreads each byte over an 8x8 block (large structures), bit 2 thresholds the
// image to 0 and 255 (sharp blobs).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "device/imaging/motion_blur.h"

namespace {

int32_t Read(const uint8_t* data, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(data[i]) << (8 * i);
    if (bytes == 2) return static_cast<int32_t>(v % 1040) - 160;  // mostly around the image, past it by 160
    return static_cast<int32_t>(v);
}

void FillImage(uint8_t mode, const uint8_t* data, size_t size, std::vector<uint8_t>& image) {
    if (size == 0) {
        std::memset(image.data(), 0, image.size());
        return;
    }
    const bool blocks = (mode & 2) != 0, binary = (mode & 4) != 0;
    for (int y = 0; y < kBlurImageHeight; ++y) {
        for (int x = 0; x < kBlurImageWidth; ++x) {
            const size_t k = blocks ? static_cast<size_t>((y / 8) * 90 + x / 8) : static_cast<size_t>(y) * 720 + x;
            const uint8_t v = data[k % size];
            image[static_cast<size_t>(y) * kBlurImageWidth + x] = binary ? (v & 1 ? 255 : 0) : v;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> image(static_cast<size_t>(kBlurImageWidth) * kBlurImageHeight);
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    const size_t coordBytes = (mode & 1) ? 4 : 2;
    if (size < 1 + 4 * coordBytes) return 0;
    int32_t c[4];
    for (int i = 0; i < 4; ++i) c[i] = Read(data + 1 + i * coordBytes, coordBytes);
    const size_t header = 1 + 4 * coordBytes;
    FillImage(mode, data + header, size - header, image);

    float score = -7.0f;
    const int32_t status = MeasureMotionBlur(&score, image.data(), c[0], c[1], c[2], c[3]);
    const bool known = status == kBlurOk || status == kBlurBadSize || status == kBlurNoMemory ||
                       status == kBlurNoStructure;
    const bool scoreRight = status == kBlurOk ? (score > 0.0f && score <= 1.0f) : score == -7.0f;
    if (!known || !scoreRight) __builtin_trap();
    return 0;
}
