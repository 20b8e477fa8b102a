// Voice prompts from detection results and eye positions.
#include "device/prompts.h"

#include "device/device_k7q.h"
#include "hid/hid_operate.h"

namespace {
constexpr uint8_t kCommandDetection = 53;
}

int32_t PromptForResult(int32_t result) {
    switch (result) {
        case -7: case -9: case -12: case -13: case -14: return kPromptDistanceOrLight;
        case -11: return kPromptOpenEye;
        case -3: case -4: case -5: case -6: return kPromptPosition;
        case -17: case -18: case -19: return kPromptLids;
        case -1: case -2: case -20: return kPromptNoIris;
        default: return 0;
    }
}

bool SendsDetectionCommand(int32_t result) { return result != -1 && result != -2 && result != -20; }

void CDeviceK7Q::PlayPrompt(int32_t id) {
    if (m_voiceEnabled && m_services.prompts) m_services.prompts->Play(id);
}

void CDeviceK7Q::PromptForDetection(int32_t result) {
    if (SendsDetectionCommand(result)) CHidOperate::send_command(kCommandDetection);
    if (m_promptCount % kDetectionPromptEvery == 0) {
        if (const int32_t prompt = PromptForResult(result)) PlayPrompt(prompt);
    }
    ++m_promptCount;
}

void CDeviceK7Q::PromptForPosition(int32_t left, int32_t right) {
    constexpr int32_t kBelowBand = -4, kAboveBand = -5;
    if (left == kBelowBand) ++LeftLowCount;
    if (left == kAboveBand) ++LeftHighCount;
    if (right == kBelowBand) ++RightLowCount;
    if (right == kAboveBand) ++RightHighCount;
    if (LeftHighCount >= kPositionPromptCount || RightHighCount >= kPositionPromptCount) {
        PlayPrompt(kPromptEyeTooHigh);
        LeftHighCount = RightHighCount = 0;
    }
    if (LeftLowCount >= kPositionPromptCount || RightLowCount >= kPositionPromptCount) {
        PlayPrompt(kPromptEyeTooLow);
        LeftLowCount = RightLowCount = 0;
    }
}
