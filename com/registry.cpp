#include "com/registry.h"

#include "com/module.h"

namespace com {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

HRESULT SetClassesString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(rc);
}

// RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
HRESULT DeleteClassesTree(const std::wstring& subkey) {
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(rc);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, subkey.c_str());
    return S_OK;
}

HRESULT RegisterInprocServer(const CLSID& clsid, const std::wstring& name, const wchar_t* threadingModel) {
    const std::wstring path = ModulePathW();
    if (path.empty()) return E_FAIL;
    const std::wstring key = L"CLSID\\" + GuidText(clsid);
    HRESULT hr = SetClassesString(key, nullptr, name);
    if (SUCCEEDED(hr)) hr = SetClassesString(key + L"\\InprocServer32", nullptr, path);
    if (SUCCEEDED(hr)) hr = SetClassesString(key + L"\\InprocServer32", L"ThreadingModel", threadingModel);
    return hr;
}

HRESULT UnregisterInprocServer(const CLSID& clsid) { return DeleteClassesTree(L"CLSID\\" + GuidText(clsid)); }

std::wstring ReadMachineString(const std::wstring& subkey, const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return std::wstring();
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_LOCAL_MACHINE, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, &value[0], &bytes) !=
        ERROR_SUCCESS)
        return std::wstring();
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

}  // namespace com
