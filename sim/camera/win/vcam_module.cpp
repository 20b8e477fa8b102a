// The virtual camera DLL: its class object and its registration as two video
// input devices, the device's left and right eye cameras.
#include <windows.h>

#include "control/com/class_factory.h"
#include "control/com/module.h"
#include "sim/camera/win/registry.h"
#include "sim/camera/win/vcam_filter.h"

using namespace k7qsim;

namespace {


// HKCR\CLSID\{CLSID_VideoInputDeviceCategory}\Instance
constexpr wchar_t kInstanceRoot[] = L"CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance";

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

com::CClassFactory g_factory(&com::CreateObject<VirtualCameraFilter>);

HRESULT RegisterDevice(const DeviceEntry& device) {
    wchar_t key[256];
    swprintf(key, 256, L"%ls\\%ls", kInstanceRoot, device.instance);
    wchar_t clsid[40];
    GuidText(CLSID_K7QVirtualCamera, clsid, 40);
    HRESULT hr = SetClassesString(key, L"FriendlyName", device.friendlyName);
    if (SUCCEEDED(hr)) hr = SetClassesString(key, L"CLSID", clsid);
    if (SUCCEEDED(hr)) hr = SetClassesString(key, L"DevicePath", device.devicePath);
    return hr;
}

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_K7QVirtualCamera) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return com::ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    HRESULT hr = RegisterInprocServer(CLSID_K7QVirtualCamera, L"K7Q Virtual Eye Camera", com::ModuleInstance());
    for (const DeviceEntry& device : kDevices) {
        if (SUCCEEDED(hr)) hr = RegisterDevice(device);
    }
    return hr;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    for (const DeviceEntry& device : kDevices) {
        wchar_t key[256];
        swprintf(key, 256, L"%ls\\%ls", kInstanceRoot, device.instance);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    }
    return UnregisterInprocServer(CLSID_K7QVirtualCamera);
}
