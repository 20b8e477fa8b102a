#include "tests/camera/eye_camera_test_util.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "com/com_ptr.h"
#include "com/registry.h"

namespace camera_test {
namespace {

constexpr DWORD kDbgPrintException = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr wchar_t kInstanceRoot[] = L"CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\";
constexpr wchar_t kVirtualCameraClsid[] = L"{7A3C5E21-4B8D-4F6A-9C1E-2D5B7F8A0C31}";

std::mutex traceLock;
std::string trace;
std::vector<std::wstring> decoys;

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == kDbgPrintException && record->NumberParameters >= 2) {
        std::lock_guard<std::mutex> guard(traceLock);
        trace += reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void SetFaults(const char* text, int line) {
    SCOPED_TRACE(::testing::Message() << "called from line " << line);
    const char* path = std::getenv("K7Q_CAMERA_CONTROL");
    ASSERT_NE(path, nullptr) << "K7Q_CAMERA_CONTROL must name the control file";
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(text, file);
    std::fclose(file);
}

std::string SettingsText(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::map<std::string, std::string> members = {
        {"camera_backlight", "170"}, {"camera_brightness", ""},  {"camera_contrast", ""},
        {"camera_exposure_auto", ""}, {"camera_exposure_manual_val", ""}, {"camera_format", "yuv_0130"},
        {"camera_gain", ""},          {"camera_gamma", ""},      {"camera_hue", ""},
        {"camera_id", "vmK7Q"},       {"camera_saturation", ""}, {"camera_sharpness", ""}};
    for (const auto& change : changes) {
        if (change.second == "<absent>") members.erase(change.first);
        else members[change.first] = change.second;
    }
    std::string text = "{";
    for (const auto& member : members) {
        if (text.size() > 1) text += ",";
        text += "\"" + member.first + "\":\"" + member.second + "\"";
    }
    return text + "}";
}

DebugTraceRecorder::DebugTraceRecorder() : handler_(AddVectoredExceptionHandler(1, OnException)) {
    std::lock_guard<std::mutex> guard(traceLock);
    trace.clear();
}

DebugTraceRecorder::~DebugTraceRecorder() { RemoveVectoredExceptionHandler(handler_); }

std::string DebugTraceRecorder::Text() const {
    std::lock_guard<std::mutex> guard(traceLock);
    return trace;
}

void AddDecoyDevice(const wchar_t* instance, const wchar_t* devicePath) {
    const std::wstring key = std::wstring(kInstanceRoot) + instance;
    com::SetClassesString(key, L"FriendlyName", instance);
    com::SetClassesString(key, L"CLSID", kVirtualCameraClsid);
    com::SetClassesString(key, L"DevicePath", devicePath);
    decoys.push_back(key);
}

void RemoveDecoys() {
    for (const std::wstring& key : decoys) com::DeleteClassesTree(key);
    decoys.clear();
}

std::vector<std::string> DevicePaths() {
    std::vector<std::string> paths;
    com::ComPtr<ICreateDevEnum> devices;
    com::ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.OutVoid())) ||
        devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Out(), 0) != S_OK)
        return paths;
    com::ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Out(), nullptr) == S_OK) {
        com::ComPtr<IPropertyBag> bag;
        std::string path;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.OutVoid())) &&
            SUCCEEDED(bag->Read(L"DevicePath", &value, nullptr)) && V_VT(&value) == VT_BSTR) {
            char text[2048] = {};
            WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, text, sizeof text - 1, nullptr, nullptr);
            path = text;
        }
        VariantClear(&value);
        paths.push_back(path);
    }
    return paths;
}

bool SetVirtualCamerasRegistered(bool registered) {
    static std::wstring dllPath;
    if (dllPath.empty()) {
        wchar_t path[MAX_PATH] = {};
        LONG bytes = sizeof path;
        const std::wstring key = std::wstring(L"CLSID\\") + kVirtualCameraClsid + L"\\InprocServer32";
        if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), path, &bytes) != ERROR_SUCCESS) return false;
        dllPath = path;
    }
    HMODULE dll = LoadLibraryW(dllPath.c_str());
    if (!dll) return false;
    using Entry = HRESULT(WINAPI*)();
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(
        GetProcAddress(dll, registered ? "DllRegisterServer" : "DllUnregisterServer")));
    const bool ok = entry && SUCCEEDED(entry());
    FreeLibrary(dll);
    return ok;
}

}  // namespace camera_test
