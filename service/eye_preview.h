// The live preview of one camera for a page: every frame the camera delivers,
// halved to 480 x 360 and kept as an 8-bit gray BMP file image, which the
// preview route sends as the parts of a multipart/x-mixed-replace stream an
// <img> shows as it comes. Uncompressed BMP over the loopback interface: no
// encoder to carry or trust, no loss, and halving costs far less per frame
// than any compression would (the bytes only cross the loopback interface).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "camera/camera_seam.h"

namespace service {

constexpr int kPreviewWidth = 480;
constexpr int kPreviewHeight = 360;

class EyePreview : public IFrameTap {
public:
    EyePreview();  // both file images are made here, once

    // The camera's streaming thread: frames of a size other than twice the
    // preview's are left out.
    void OnFrame(const uint8_t* gray, int width, int height) override;

    // Waits up to waitMs for a frame after `afterSeq`, then copies the newest
    // one into `bitmap` (sized on the first call) and returns its number:
    // `afterSeq` again when none came (0 and a black image before the first).
    uint64_t Next(uint64_t afterSeq, uint32_t waitMs, std::vector<uint8_t>* bitmap);

private:
    std::vector<uint8_t> drawing_;  // the streaming thread's own
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<uint8_t> latest_;  // swapped with drawing_ under the lock
    uint64_t seq_ = 0;
};

// The two cameras' previews, given to the device as its frame taps.
struct Previews {
    EyePreview left, right;
};

}  // namespace service
