// The module's four exported entries (C calling convention), implemented on
// the portable pipeline so that native tests call exactly what the DLL runs.
//   Qdr_ImageJudge()                        0: the module is ready (it keeps no state to set up)
//   Qdr_ImageJudgeScore()                   60: the score from which the control accepts an image
//   Qdr_ImageJudgeValue(path, value)        0 and *value = score 0..100, or a JudgeResult code
//   Qdr_ImageJudgeValueB(path, values, n)   as Value, and values[0..n) = score, then the twelve
//                                           components x 100 in the order of JudgeComponentIndex
#pragma once

#include "modules/judge/judge_codes.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t JudgeEntryReady(void);
int32_t JudgeEntryAcceptScore(void);
int32_t JudgeEntryValue(const char* path, int32_t* value);
int32_t JudgeEntryValueB(const char* path, int32_t* values, int32_t count);

#ifdef __cplusplus
}
#endif
