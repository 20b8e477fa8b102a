// Native file reading of the module's library build (tests, tools).
#include <stdio.h>

#include "modules/judge/judge_bitmap.h"

JudgeResult ReadJudgeFile(const char* path, uint8_t* buffer, size_t capacity, size_t* size) {
    *size = 0;
    FILE* file = fopen(path, "rb");
    if (!file) return kJudgeUnreadable;
    const size_t got = fread(buffer, 1, capacity, file);
    const bool failed = ferror(file) != 0;  // a directory opens but cannot be read
    const bool longer = got == capacity && fgetc(file) != EOF;
    fclose(file);
    if (failed) return kJudgeUnreadable;
    if (longer) return kJudgeBadLayout;
    *size = got;
    return kJudgeOk;
}
