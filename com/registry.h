// The registry writing every COM module of this tree needs: GUID text and
// string values under HKEY_CLASSES_ROOT, and the InprocServer32 entry of a
// class served by this module.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case, as the registry holds class ids.
std::wstring GuidText(const GUID& guid);

// Sets string value `name` (null: the key's default value) under HKCR\`subkey`, creating the key.
HRESULT SetClassesString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value);
// Removes HKCR\`subkey` with everything below it; a key that is not there is no failure.
HRESULT DeleteClassesTree(const std::wstring& subkey);
// String value `name` under HKLM\`subkey` (an administrator's setting); empty when absent.
std::wstring ReadMachineString(const std::wstring& subkey, const wchar_t* name);

// HKCR\CLSID\{clsid} = `name`, InprocServer32 = this module's file with `threadingModel`.
HRESULT RegisterInprocServer(const CLSID& clsid, const std::wstring& name, const wchar_t* threadingModel);
HRESULT UnregisterInprocServer(const CLSID& clsid);

}  // namespace com
