// A class factory for one in-process COM class, and the registry writing
// both of this tree's DirectShow DLLs need.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>

namespace k7qsim {

using CreateObjectFn = HRESULT (*)(REFIID riid, void** out);

class ClassFactory : public IClassFactory {
public:
    ClassFactory(CreateObjectFn create, std::atomic<long>* moduleLocks) : create_(create), locks_(moduleLocks) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // a static object
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateObjectFn create_;
    std::atomic<long>* locks_;
};

// Writes HKCR\CLSID\{clsid} with `name`, InprocServer32 = `module`'s file and
// ThreadingModel "Both" (DirectShow creates filters on worker threads).
HRESULT RegisterInprocServer(const CLSID& clsid, const wchar_t* name, HMODULE module);
HRESULT UnregisterInprocServer(const CLSID& clsid);

// Sets string value `name` (null: the default value) under HKCR\`subkey`.
HRESULT SetClassesString(const wchar_t* subkey, const wchar_t* name, const wchar_t* value);

// "{xxxxxxxx-...}" of `guid` into `text` (at least 39 characters).
void GuidText(const GUID& guid, wchar_t* text, int size);

}  // namespace k7qsim
