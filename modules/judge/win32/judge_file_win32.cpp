// File reading of the Windows module: the system's own calls, no C runtime.
#include <windows.h>

#include "modules/judge/judge_bitmap.h"

JudgeResult ReadJudgeFile(const char* path, uint8_t* buffer, size_t capacity, size_t* size) {
    *size = 0;
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return kJudgeUnreadable;
    size_t total = 0;
    bool failed = false;
    for (;;) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(capacity - total < 65536 ? capacity - total : 65536);
        if (want == 0) break;
        if (!ReadFile(file, buffer + total, want, &got, nullptr)) {
            failed = true;
            break;
        }
        if (got == 0) break;
        total += got;
    }
    uint8_t extra = 0;
    DWORD more = 0;
    const bool longer = !failed && total == capacity && ReadFile(file, &extra, 1, &more, nullptr) && more == 1;
    CloseHandle(file);
    if (failed) return kJudgeUnreadable;
    if (longer) return kJudgeBadLayout;
    *size = total;
    return kJudgeOk;
}
