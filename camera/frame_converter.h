// The frame conversion of an eye camera, on the streaming thread: the preview
// image of every frame and, when a grab asks for one, the 8-bit gray image in
// the frame's upright orientation. Buffers are allocated on the first frame
// and reused; the copying never goes beyond the buffers or the delivered bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace camera {

// "yuv_0130": YUY2 as the camera delivers it; "yuv_0330": YUY2 whose gray
// image is turned by 180 degrees; "rgb24": bottom-up BGR.
enum class FrameFormat { Yuv0130, Yuv0330, Rgb24, Unknown };

FrameFormat ParseFrameFormat(const std::string& name);
inline bool IsYuv(FrameFormat format) { return format == FrameFormat::Yuv0130 || format == FrameFormat::Yuv0330; }

class FrameConverter {
public:
    void SetFrameSize(int width, int height);
    void SetFormat(FrameFormat format) { format_ = format; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    FrameFormat Format() const { return format_; }

    // The 24-bit bottom-up preview of `frame`: the luma expanded to gray BGR
    // for the YUV formats ("yuv_0130" turned by 180 degrees when it is to be
    // painted), the delivered buffer itself for "rgb24". Null when there is
    // nothing whole to show (no size, a short "rgb24" frame). `gray`, when
    // given, is this frame's "yuv_0130" gray image (ConvertGray), read instead
    // of the frame's luma.
    const uint8_t* Preview(const uint8_t* frame, size_t length, bool forPainting, const uint8_t* gray = nullptr);

    // Writes the gray image of `frame` (width x height bytes) into `gray`;
    // false when the frame is not converted (a short "rgb24" frame, no size).
    bool ConvertGray(const uint8_t* frame, size_t length, uint8_t* gray) const;

private:
    void Expand(const uint8_t* luma, size_t count, size_t first, bool reversed);

    int width_ = 0, height_ = 0;
    FrameFormat format_ = FrameFormat::Yuv0130;
    std::vector<uint8_t> colour_;
    std::vector<uint8_t> line_;  // one row of luma
};

}  // namespace camera
