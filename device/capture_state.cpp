#include "device/device_contract.h"

std::atomic<int32_t> CaptureArmed{0};
std::atomic<int32_t> ForceAccept{0};
std::atomic<int32_t> CaptureMode{1};
std::atomic<int32_t> ResultBeingHandled{0};
