// The virtual camera DLL: its class object and its registration as two video
// input devices, the device's left and right eye cameras.
#include <windows.h>

#include "com/class_table.h"
#include "com/registry.h"
#include "sim/camera/win/vcam_filter.h"

using namespace k7qsim;

namespace {

// HKCR\CLSID\{CLSID_VideoInputDeviceCategory}\Instance
constexpr wchar_t kInstanceRoot[] = L"CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\";

struct DeviceEntry {
    const wchar_t* instance;
    const wchar_t* friendlyName;
    const wchar_t* devicePath;
};

// Device paths as Windows gives them to USB video devices; the control tells
// the eyes apart by the product id in them.
const DeviceEntry kDevices[] = {
    {L"K7Q Left Eye Camera", L"K7Q Left Eye Camera",
     L"\\\\?\\usb#vid_0c45&pid_6666&mi_00#7&2f1c4a6e&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"},
    {L"K7Q Right Eye Camera", L"K7Q Right Eye Camera",
     L"\\\\?\\usb#vid_0c45&pid_8888&mi_00#7&3a9d0b15&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global"},
};

HRESULT RegisterDevices() {
    HRESULT hr = S_OK;
    for (const DeviceEntry& device : kDevices) {
        const std::wstring key = std::wstring(kInstanceRoot) + device.instance;
        if (SUCCEEDED(hr)) hr = com::SetClassesString(key, L"FriendlyName", device.friendlyName);
        if (SUCCEEDED(hr)) hr = com::SetClassesString(key, L"CLSID", com::GuidText(CLSID_K7QVirtualCamera));
        if (SUCCEEDED(hr)) hr = com::SetClassesString(key, L"DevicePath", device.devicePath);
    }
    return hr;
}

HRESULT UnregisterDevices() {
    for (const DeviceEntry& device : kDevices) com::DeleteClassesTree(std::wstring(kInstanceRoot) + device.instance);
    return S_OK;
}

// DirectShow creates filters on worker threads.
HRESULT RegisterFilterClass() {
    return com::RegisterInprocServer(CLSID_K7QVirtualCamera, L"K7Q Virtual Eye Camera", L"Both");
}
HRESULT UnregisterFilterClass() { return com::UnregisterInprocServer(CLSID_K7QVirtualCamera); }

com::CClassFactory g_factory(&com::CreateObject<VirtualCameraFilter>);
const com::ClassEntry kClasses[] = {
    {&CLSID_K7QVirtualCamera, &g_factory, RegisterFilterClass, UnregisterFilterClass},
};
const com::ClassTable kModule = {kClasses, 1, RegisterDevices, UnregisterDevices};

}  // namespace

COM_MODULE_EXPORTS(kModule)
