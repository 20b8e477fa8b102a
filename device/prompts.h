// The voice prompts: WAVE resources of the control's module, and when each
// one is played.
#pragma once

#include <cstdint>

constexpr int32_t kPromptFirst = 203;
constexpr int32_t kPromptLast = 215;
constexpr int32_t kPromptDistanceOrLight = 203;  // f4: -7, -9, -12, -13, -14
constexpr int32_t kPromptEyeTooHigh = 204;       // 20 results "centre above the band"
constexpr int32_t kPromptTimeout = 205;
constexpr int32_t kPromptSuccess = 206;
constexpr int32_t kPromptOpenEye = 207;          // f4: -11
constexpr int32_t kPromptPosition = 212;         // f4: -3 ... -6
constexpr int32_t kPromptLids = 213;             // f4: -17, -18, -19
constexpr int32_t kPromptNoIris = 214;           // f4: -1, -2, -20
constexpr int32_t kPromptEyeTooLow = 215;        // 20 results "centre below the band"
// The position counters play their prompt when they reach this.
constexpr int32_t kPositionPromptCount = 20;
// DetectIris prompts on the first call of a capture and every 20th after it.
constexpr int32_t kDetectionPromptEvery = 20;

// The prompt the detection result calls for, or 0 for none.
int32_t PromptForResult(int32_t result);
// Whether the result is reported to the device with command 53.
bool SendsDetectionCommand(int32_t result);
