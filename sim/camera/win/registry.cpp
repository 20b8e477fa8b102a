#include "sim/camera/win/registry.h"

#include <cwchar>

namespace k7qsim {

void GuidText(const GUID& guid, wchar_t* text, int size) { StringFromGUID2(guid, text, size); }

HRESULT SetClassesString(const wchar_t* subkey, const wchar_t* name, const wchar_t* value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterInprocServer(const CLSID& clsid, const wchar_t* name, HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;
    wchar_t guid[40];
    GuidText(clsid, guid, 40);
    wchar_t key[128];
    swprintf(key, 128, L"CLSID\\%ls", guid);
    HRESULT hr = SetClassesString(key, nullptr, name);
    swprintf(key, 128, L"CLSID\\%ls\\InprocServer32", guid);
    if (SUCCEEDED(hr)) hr = SetClassesString(key, nullptr, path);
    if (SUCCEEDED(hr)) hr = SetClassesString(key, L"ThreadingModel", L"Both");
    return hr;
}

HRESULT UnregisterInprocServer(const CLSID& clsid) {
    wchar_t guid[40];
    GuidText(clsid, guid, 40);
    wchar_t key[128];
    swprintf(key, 128, L"CLSID\\%ls", guid);
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(rc);
}

}  // namespace k7qsim
