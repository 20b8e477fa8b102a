// Self-registration of COM classes and of the module's type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace com {

struct ClassRegistration {
    const CLSID* clsid;
    const char* progId;
    UINT userTypeNameId;     // string resource with the class's user type name
    bool isControl;          // writes Control, MiscStatus, ToolboxBitmap32, TypeLib and Version
    DWORD miscStatus;
    UINT toolboxBitmapId;
    const GUID* libId;
    const char* version;     // "1.0"
};

// Registers the type library held as resource TYPELIB 1 of this module, from the module's path.
HRESULT RegisterModuleTypeLib();
HRESULT UnregisterModuleTypeLib(const GUID& libId, WORD major, WORD minor);

// Writes (or removes) exactly the keys of one class under HKEY_CLASSES_ROOT.
HRESULT RegisterClassKeys(const ClassRegistration& reg);
HRESULT UnregisterClassKeys(const ClassRegistration& reg);

// The type library of this module, loaded once; null when it cannot be loaded.
ITypeLib* ModuleTypeLib();
// Type information for a GUID of the module's type library (AddRef'ed); null when absent.
ITypeInfo* ModuleTypeInfo(const GUID& guid);

// A string resource of this module.
std::string LoadResourceString(UINT id);

}  // namespace com
