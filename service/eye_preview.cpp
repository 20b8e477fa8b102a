#include "service/eye_preview.h"

#include <chrono>

#include "device/imaging/gray_bitmap.h"

namespace service {

namespace {
constexpr size_t kPreviewFileBytes = kBitmapPixelOffset + static_cast<size_t>(kPreviewWidth) * kPreviewHeight;
}

EyePreview::EyePreview() : drawing_(kPreviewFileBytes), latest_(kPreviewFileBytes) {
    WriteGrayBitmapHeaders(drawing_.data(), kPreviewWidth, kPreviewHeight);
    WriteGrayBitmapHeaders(latest_.data(), kPreviewWidth, kPreviewHeight);
}

void EyePreview::OnFrame(const uint8_t* gray, int width, int height) {
    if (width != 2 * kPreviewWidth || height != 2 * kPreviewHeight) return;
    uint8_t* out = drawing_.data() + kBitmapPixelOffset;
    for (int y = 0; y < kPreviewHeight; ++y) {
        const uint8_t* top = gray + static_cast<size_t>(2 * y) * width;
        const uint8_t* bottom = top + width;
        uint8_t* row = out + static_cast<size_t>(kPreviewHeight - 1 - y) * kPreviewWidth;  // bottom row first
        for (int x = 0; x < kPreviewWidth; ++x)
            row[x] = static_cast<uint8_t>((top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 2) / 4);
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        drawing_.swap(latest_);
        ++seq_;
    }
    arrived_.notify_all();
}

uint64_t EyePreview::Next(uint64_t afterSeq, uint32_t waitMs, std::vector<uint8_t>* bitmap) {
    std::unique_lock<std::mutex> guard(lock_);
    arrived_.wait_for(guard, std::chrono::milliseconds(waitMs), [&] { return seq_ > afterSeq; });
    bitmap->assign(latest_.begin(), latest_.end());
    return seq_;
}

}  // namespace service
