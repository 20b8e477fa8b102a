// The K7Q device object: the single implementation of the device contract
// that the shipped control links. It owns the capture-done event and talks to
// the microcontroller over the HID channel. The cameras are not reachable by
// this build, so DevInit reports that they could not be opened.
#pragma once

#include <string>

#include "device/device_contract.h"
#include "platform/event.h"

class CDeviceK7Q : public IDevice {
public:
    CDeviceK7Q();
    ~CDeviceK7Q() override;

    int32_t DevInit(NativeWindow window) override;
    int32_t DevClose() override;
    int32_t DevStartCapture(EyeType eyeType) override;
    int32_t DevGetInfo(DeviceInfo* info) override;
    int32_t GetTemplate(const char* bitmapPath) override;
    platform::ManualResetEvent* CaptureDoneEvent() override { return &m_doneEvent; }

private:
    int m_initialised = 0;
    EyeType m_eyeType = kEyeBoth;
    ResultRoutine m_resultCallback = nullptr;
    std::string m_serial;
    platform::ManualResetEvent m_doneEvent{true};  // no capture is running
};
