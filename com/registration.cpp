#include "com/registration.h"

#include <oleauto.h>

#include "com/module.h"
#include "com/registry.h"

namespace com {
namespace {

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    return wide;
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
    const std::wstring clsid = GuidText(*reg.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::wstring progId = Wide(reg.progId);
    const std::wstring name = Wide(LoadResourceString(reg.userTypeNameId).c_str());
    bool ok = SUCCEEDED(RegisterInprocServer(*reg.clsid, name, L"Apartment")) &&
              SUCCEEDED(SetClassesString(key + L"\\ProgID", nullptr, progId)) &&
              SUCCEEDED(SetClassesString(progId, nullptr, name)) &&
              SUCCEEDED(SetClassesString(progId + L"\\CLSID", nullptr, clsid));
    if (ok && reg.isControl) {
        const std::wstring misc = std::to_wstring(reg.miscStatus);
        const std::wstring bitmap = ModulePathW() + L", " + std::to_wstring(reg.toolboxBitmapId);
        ok = SUCCEEDED(SetClassesString(progId + L"\\CurVer", nullptr, progId)) &&
             SUCCEEDED(SetClassesString(key + L"\\Control", nullptr, L"")) &&
             SUCCEEDED(SetClassesString(key + L"\\MiscStatus", nullptr, misc)) &&
             SUCCEEDED(SetClassesString(key + L"\\MiscStatus\\1", nullptr, misc)) &&
             SUCCEEDED(SetClassesString(key + L"\\ToolboxBitmap32", nullptr, bitmap)) &&
             SUCCEEDED(SetClassesString(key + L"\\TypeLib", nullptr, GuidText(*reg.libId))) &&
             SUCCEEDED(SetClassesString(key + L"\\Version", nullptr, Wide(reg.version)));
    }
    return ok ? S_OK : E_FAIL;
}

HRESULT UnregisterClassKeys(const ClassRegistration& reg) {
    const bool ok = SUCCEEDED(UnregisterInprocServer(*reg.clsid)) && SUCCEEDED(DeleteClassesTree(Wide(reg.progId)));
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
