// Results of the image-judge module's entries (C calling convention, 32-bit
// integers). 0 is success; every failure has its own positive code so that an
// integrator can tell from one number why an image was not scored.
#pragma once

#include <stdint.h>

enum JudgeResult : int32_t {
    kJudgeOk = 0,
    kJudgeBadArgument = 1,      // null path or null value pointer
    kJudgeUnreadable = 2,       // missing file, directory, read error
    kJudgeTruncated = 3,        // shorter than the 1,078 bytes of headers and palette
    kJudgeNotBitmap = 4,        // no "BM" signature
    kJudgeBadHeader = 5,        // info header size not 40, planes not 1, compression not 0
    kJudgeWrongSize = 6,        // not 640 x 480 stored bottom-up
    kJudgeWrongDepth = 7,       // not 8 bits per pixel
    kJudgeNotGray = 8,          // palette entry i is not (i, i, i, 0)
    kJudgeBadLayout = 9,        // pixel offset not 1078, or the file's length not 308,278 bytes
    kJudgeNoIris = 10,          // no iris found in the picture
};

// The picture the module scores.
constexpr int kJudgeWidth = 640;
constexpr int kJudgeHeight = 480;
constexpr uint32_t kJudgePixelOffset = 1078;
constexpr uint32_t kJudgePixelBytes = kJudgeWidth * kJudgeHeight;
constexpr uint32_t kJudgeFileBytes = kJudgePixelOffset + kJudgePixelBytes;
// The control accepts an image whose score is at least this.
constexpr int32_t kJudgeAcceptScore = 60;
