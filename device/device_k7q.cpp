#include "device/device_k7q.h"

#include <cstring>

#include "hid/hid_operate.h"
#include "log/log_writer.h"

namespace {

constexpr uint8_t kCommandLightOff = 61;
constexpr uint8_t kCommandClosed = 52;

// Copies text into a zero-padded field, always leaving its terminator.
void CopyField(char* field, size_t size, const std::string& text) {
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
}

}  // namespace

CDeviceK7Q::CDeviceK7Q() = default;

CDeviceK7Q::~CDeviceK7Q() { DevClose(); }

int32_t CDeviceK7Q::DevInit(NativeWindow window) {
    if (m_initialised) return kDeviceOpenFailed;
    CaptureArmed = 0;
    WriteLog(&LogWriter(), 1, "DeviceK7Q", "CDeviceK7Q::DevInit", __LINE__, "no eye camera can be opened");
    return kDeviceOpenFailed;
}

int32_t CDeviceK7Q::DevClose() {
    m_resultCallback = nullptr;
    CaptureArmed = 0;
    CHidOperate::send_command(kCommandLightOff);
    CHidOperate::send_command(kCommandClosed);
    m_initialised = 0;
    m_doneEvent.Set();
    return kDeviceOk;
}

int32_t CDeviceK7Q::DevStartCapture(EyeType eyeType) {
    if (!m_initialised) return kDeviceNotInitialised;
    m_eyeType = eyeType;
    m_resultCallback = CallBackEnroll;
    if (CaptureArmed) {
        m_resultCallback(nullptr, nullptr, 0, -1, 0, 0, kOutcomeRefused);
        return kDeviceCaptureArmed;
    }
    // Arming needs the capture thread, which runs only on an initialised device.
    return kDeviceNotInitialised;
}

int32_t CDeviceK7Q::DevGetInfo(DeviceInfo* info) {
    if (!info) return kDeviceOpenFailed;
    std::memset(info, 0, sizeof *info);
    int32_t modelType = 0, leftCurrent = 0, rightCurrent = 0;
    if (CHidOperate::get_device_sn(m_serial, modelType, leftCurrent, rightCurrent) != 1) m_serial = "unkown serial";
    CopyField(info->serial, sizeof info->serial, m_serial);
    CopyField(info->name, sizeof info->name, "望远镜虹膜注册设备");
    CopyField(info->modelCode, sizeof info->modelCode, "05");
    CopyField(info->organisationCode, sizeof info->organisationCode, "120000000000000034");
    return kDeviceOk;
}

int32_t CDeviceK7Q::GetTemplate(const char* bitmapPath) {
    if (!bitmapPath) return kDeviceOpenFailed;
    if (!m_initialised) return kDeviceNotInitialised;
    return kDeviceNotInitialised;
}

IDevice* GetDevice() {
    static CDeviceK7Q device;
    return &device;
}
