#include "device/imaging/crop.h"

#include <cstring>

#include "device/eye_records.h"

// The view is flush with the left (top) edge when the centre lies less than
// half a view from it, flush with the right (bottom) edge when the view would
// pass it. Written without cx + 320 so that no centre overflows.
int32_t CropOriginX(int32_t cx) {
    if (cx < kViewWidth / 2) return 0;
    if (cx > kWorkSide - kViewWidth / 2) return kWorkSide - kViewWidth;
    return cx - kViewWidth / 2;
}

int32_t CropOriginY(int32_t cy) {
    if (cy < kViewHeight / 2) return 0;
    if (cy > kWorkSide - kViewHeight / 2) return kWorkSide - kViewHeight;
    return cy - kViewHeight / 2;
}

int32_t CropTo640x480(const uint8_t* src, int32_t cx, int32_t cy, uint8_t* dst) {
    if (src == nullptr || dst == nullptr) {
        return kCropNullImage;
    }
    const uint8_t* from = src + CropOriginY(cy) * kWorkSide + CropOriginX(cx);
    for (int32_t row = 0; row < kViewHeight; ++row) {
        std::memcpy(dst + row * kViewWidth, from + row * kWorkSide, kViewWidth);
    }
    return 0;
}
