#include "control/com/registration.h"

#include <oleauto.h>

#include <cstdio>

#include "control/com/module.h"

namespace com {
namespace {

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

// Sets a string value (name null: the key's default value) under HKCR\path.
bool SetValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool DeleteTree(const std::string& path) {
    const LONG rc = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
        return true;
    }
    return false;
}

ITypeLib* cachedTypeLib = nullptr;

}  // namespace

std::string LoadResourceString(UINT id) {
    char text[256] = {};
    const int n = LoadStringA(ModuleInstance(), id, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

HRESULT RegisterModuleTypeLib() {
    const std::wstring path = ModulePathW();
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(lib, const_cast<OLECHAR*>(path.c_str()), nullptr);
    lib->Release();
    return hr;
}

HRESULT UnregisterModuleTypeLib(const GUID& libId, WORD major, WORD minor) {
#ifdef _WIN64
    const SYSKIND kind = SYS_WIN64;
#else
    const SYSKIND kind = SYS_WIN32;
#endif
    const HRESULT hr = UnRegisterTypeLib(libId, major, minor, LOCALE_NEUTRAL, kind);
    return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;  // not registered: nothing to remove
}

HRESULT RegisterClassKeys(const ClassRegistration& reg) {
    const std::string clsid = GuidText(*reg.clsid);
    const std::string key = "CLSID\\" + clsid;
    const std::string name = LoadResourceString(reg.userTypeNameId);
    const std::string path = ModulePath();
    bool ok = SetValue(key, nullptr, name) && SetValue(key + "\\ProgID", nullptr, reg.progId) &&
              SetValue(key + "\\InprocServer32", nullptr, path) &&
              SetValue(key + "\\InprocServer32", "ThreadingModel", "Apartment") &&
              SetValue(reg.progId, nullptr, name) && SetValue(std::string(reg.progId) + "\\CLSID", nullptr, clsid);
    if (ok && reg.isControl) {
        const std::string misc = std::to_string(reg.miscStatus);
        ok = SetValue(std::string(reg.progId) + "\\CurVer", nullptr, reg.progId) &&
             SetValue(key + "\\Control", nullptr, "") && SetValue(key + "\\MiscStatus", nullptr, misc) &&
             SetValue(key + "\\MiscStatus\\1", nullptr, misc) &&
             SetValue(key + "\\ToolboxBitmap32", nullptr, path + ", " + std::to_string(reg.toolboxBitmapId)) &&
             SetValue(key + "\\TypeLib", nullptr, GuidText(*reg.libId)) &&
             SetValue(key + "\\Version", nullptr, reg.version);
    }
    return ok ? S_OK : E_FAIL;
}

HRESULT UnregisterClassKeys(const ClassRegistration& reg) {
    const bool ok = DeleteTree("CLSID\\" + GuidText(*reg.clsid)) && DeleteTree(reg.progId);
    return ok ? S_OK : E_FAIL;
}

ITypeLib* ModuleTypeLib() {
    if (!cachedTypeLib) {
        ITypeLib* lib = nullptr;
        if (SUCCEEDED(LoadTypeLibEx(ModulePathW().c_str(), REGKIND_NONE, &lib))) cachedTypeLib = lib;
    }
    return cachedTypeLib;
}

ITypeInfo* ModuleTypeInfo(const GUID& guid) {
    ITypeLib* lib = ModuleTypeLib();
    ITypeInfo* info = nullptr;
    if (!lib || FAILED(lib->GetTypeInfoOfGuid(guid, &info))) return nullptr;
    return info;
}

}  // namespace com
