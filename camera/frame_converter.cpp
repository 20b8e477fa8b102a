#include "camera/frame_converter.h"

#include <algorithm>

#include "camera/frame_kernels.h"

namespace camera {

FrameFormat ParseFrameFormat(const std::string& name) {
    if (name == "yuv_0130") return FrameFormat::Yuv0130;
    if (name == "yuv_0330") return FrameFormat::Yuv0330;
    if (name == "rgb24") return FrameFormat::Rgb24;
    return FrameFormat::Unknown;
}

void FrameConverter::SetFrameSize(int width, int height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
}

// Pixels [first, first + count) of the preview from contiguous gray values;
// `reversed` places them from the end of the buffer backwards.
void FrameConverter::Expand(const uint8_t* luma, size_t count, size_t first, bool reversed) {
    uint8_t* const base = colour_.data();
    if (reversed) kernels::ExpandGrayMirrored(luma, count, base + colour_.size() - 3 * first);
    else kernels::ExpandGray(luma, count, base + 3 * first);
}

const uint8_t* FrameConverter::Preview(const uint8_t* frame, size_t length, bool forPainting, const uint8_t* gray) {
    const size_t pixels = static_cast<size_t>(width_) * height_;
    if (pixels == 0) return nullptr;
    if (format_ == FrameFormat::Rgb24) return length >= pixels * 3 ? frame : nullptr;
    if (!IsYuv(format_)) return nullptr;
    if (colour_.size() != pixels * 3) colour_.assign(pixels * 3, 0);
    const size_t luma = std::min(pixels, length / 2);
    // Rows reversed and bytes reversed within each row is the whole buffer
    // reversed; gray pixels read the same in either byte order.
    const bool reversed = format_ == FrameFormat::Yuv0130 && forPainting;
    if (gray && format_ == FrameFormat::Yuv0130) {
        Expand(gray, luma, 0, reversed);  // the luma already gathered
        return colour_.data();
    }
    // Row by row: the luma gathered into one row first, then expanded from there.
    if (line_.size() != static_cast<size_t>(width_)) line_.assign(width_, 0);
    uint8_t* line = line_.data();
    for (size_t start = 0; start < luma; start += width_) {
        const size_t count = std::min<size_t>(width_, luma - start);
        const uint8_t* row = frame + 2 * start;
        kernels::GatherLuma(row, count, line);
        Expand(line, count, start, reversed);
    }
    return colour_.data();
}

bool FrameConverter::ConvertGray(const uint8_t* frame, size_t length, uint8_t* gray) const {
    const size_t pixels = static_cast<size_t>(width_) * height_;
    if (pixels == 0 || !gray) return false;
    if (IsYuv(format_)) {
        const size_t luma = std::min(pixels, length / 2);
        if (format_ == FrameFormat::Yuv0330) {
            // Turned by 180 degrees: luma sample i lands at the mirrored position.
            kernels::GatherLumaMirrored(frame, luma, gray + pixels);
        } else {
            kernels::GatherLuma(frame, luma, gray);
        }
        return true;
    }
    if (format_ != FrameFormat::Rgb24 || length < pixels * 3) return false;
    const size_t stride = static_cast<size_t>(width_) * 3;
    for (int i = 0; i < height_; ++i) {
        // Blue channel of source row (height - 1 - i), mirrored left to right.
        const uint8_t* source = frame + (height_ - 1 - i) * stride;
        uint8_t* row = gray + static_cast<size_t>(i) * width_;
        for (int j = 0; j < width_; ++j) row[width_ - 1 - j] = source[3 * j];
    }
    return true;
}

}  // namespace camera
