// The registry writing both of this tree's DirectShow DLLs need.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace k7qsim {

// Writes HKCR\CLSID\{clsid} with `name`, InprocServer32 = `module`'s file and
// ThreadingModel "Both" (DirectShow creates filters on worker threads).
HRESULT RegisterInprocServer(const CLSID& clsid, const wchar_t* name, HMODULE module);
HRESULT UnregisterInprocServer(const CLSID& clsid);

// Sets string value `name` (null: the default value) under HKCR\`subkey`.
HRESULT SetClassesString(const wchar_t* subkey, const wchar_t* name, const wchar_t* value);

// "{xxxxxxxx-...}" of `guid` into `text` (at least 39 characters).
void GuidText(const GUID& guid, wchar_t* text, int size);

}  // namespace k7qsim
