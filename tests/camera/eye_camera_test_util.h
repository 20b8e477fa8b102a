// What the eye camera tests under Wine share: the camera control file the
// virtual cameras poll, the settings text as the device object builds it,
// the debug trace as a debugger would see it, and the video input registry.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace camera_test {

// Rewrites the control file named by K7Q_CAMERA_CONTROL.
void SetFaults(const char* text, int line);

// The device object's settings text with `extra` members ("\"k\":\"v\"", ...) replacing its own.
std::string SettingsText(const std::vector<std::pair<std::string, std::string>>& changes = {});

// Collects OutputDebugStringA text of this process while alive.
class DebugTraceRecorder {
public:
    DebugTraceRecorder();
    ~DebugTraceRecorder();
    std::string Text() const;

private:
    void* handler_;
};

// Adds a video input device entry (CLSID of the virtual camera) with `devicePath`; removed by RemoveDecoys.
void AddDecoyDevice(const wchar_t* instance, const wchar_t* devicePath);
void RemoveDecoys();
// Every DevicePath of the video input category, in enumeration order.
std::vector<std::string> DevicePaths();

// Calls DllUnregisterServer / DllRegisterServer of the registered virtual camera DLL.
bool SetVirtualCamerasRegistered(bool registered);

}  // namespace camera_test
