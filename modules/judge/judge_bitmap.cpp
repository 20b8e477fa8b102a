#include "modules/judge/judge_bitmap.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool GrayPalette(const uint8_t* palette) {
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t* e = palette + 4 * i;
        if (e[0] != i || e[1] != i || e[2] != i || e[3] != 0) return false;
    }
    return true;
}

}  // namespace

JudgeResult ParseJudgeBitmap(const uint8_t* data, size_t size, GrayView* view) {
    if (!data || !view) return kJudgeBadArgument;
    if (size < 2 || data[0] != 'B' || data[1] != 'M') return size < 2 ? kJudgeTruncated : kJudgeNotBitmap;
    if (size < kJudgePixelOffset) return kJudgeTruncated;
    if (Le32(data + 14) != 40 || Le16(data + 26) != 1 || Le32(data + 30) != 0) return kJudgeBadHeader;
    // Width and height are compared as unsigned words: a negative (top-down)
    // or huge height is simply another size.
    if (Le32(data + 18) != static_cast<uint32_t>(kJudgeWidth) || Le32(data + 22) != static_cast<uint32_t>(kJudgeHeight))
        return kJudgeWrongSize;
    if (Le16(data + 28) != 8) return kJudgeWrongDepth;
    if (!GrayPalette(data + 54)) return kJudgeNotGray;
    if (Le32(data + 10) != kJudgePixelOffset || size != kJudgeFileBytes) return kJudgeBadLayout;
    // Rows are stored bottom-up: the top row is the last one in the file.
    view->top = data + kJudgePixelOffset + static_cast<size_t>(kJudgeHeight - 1) * kJudgeWidth;
    view->stride = -static_cast<ptrdiff_t>(kJudgeWidth);
    view->width = kJudgeWidth;
    view->height = kJudgeHeight;
    return kJudgeOk;
}
