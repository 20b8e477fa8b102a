// The module's input: a 640 x 480 8-bit gray BMP file image with 1,078 bytes
// of headers and palette, rows bottom-up. Parsing is bounds-checked against the
// bytes actually read and never looks past them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "modules/judge/judge_codes.h"

// A gray picture addressed top row first whatever the storage order.
struct GrayView {
    const uint8_t* top = nullptr;  // first pixel of the top row
    ptrdiff_t stride = 0;          // bytes from one row to the next one down
    int width = 0;
    int height = 0;
    uint8_t At(int x, int y) const { return top[y * stride + x]; }
    const uint8_t* Row(int y) const { return top + y * stride; }
};

// Checks the file image's headers and palette; on success `view` shows its pixels.
JudgeResult ParseJudgeBitmap(const uint8_t* data, size_t size, GrayView* view);

// Reads the file at `path` into `buffer` (at most `capacity` bytes); `size`
// receives the count. A file longer than `capacity` gives kJudgeBadLayout, a
// missing or unreadable one (a directory, too) kJudgeUnreadable. One
// implementation per platform: C stdio natively, the system's file calls in
// the Windows module.
JudgeResult ReadJudgeFile(const char* path, uint8_t* buffer, size_t capacity, size_t* size);
