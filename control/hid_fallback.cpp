// The HID channel of a build without the HID implementation: there is no
// device to talk to, so every exchange answers -3001.
#include "hid/hid_operate.h"

namespace {
constexpr int32_t kNoDevice = -3001;
}

std::atomic<int32_t> LeftDefaultExposure{230};
std::atomic<int32_t> RightDefaultExposure{230};

int32_t CHidOperate::send_command(uint8_t) { return kNoDevice; }

int32_t CHidOperate::send_param(uint8_t, uint8_t) { return kNoDevice; }

int32_t CHidOperate::get_device_sn(std::string&, int32_t&, int32_t&, int32_t&) { return kNoDevice; }

int32_t CHidOperate::set_device_sn(const std::string&, int32_t, int32_t, int32_t) { return kNoDevice; }
