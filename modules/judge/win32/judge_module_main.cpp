// The image-judge module's DLL: its exports and entry point. It links no C
// runtime; the memory routines the compiler may call are modules/module_memory.cpp.
#include <windows.h>

#include "modules/judge/judge_entries.h"

#define JUDGE_EXPORT extern "C" __declspec(dllexport)

JUDGE_EXPORT int32_t Qdr_ImageJudge(void) { return JudgeEntryReady(); }
JUDGE_EXPORT int32_t Qdr_ImageJudgeScore(void) { return JudgeEntryAcceptScore(); }
JUDGE_EXPORT int32_t Qdr_ImageJudgeValue(const char* path, int32_t* value) { return JudgeEntryValue(path, value); }
JUDGE_EXPORT int32_t Qdr_ImageJudgeValueB(const char* path, int32_t* values, int32_t count) {
    return JudgeEntryValueB(path, values, count);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
