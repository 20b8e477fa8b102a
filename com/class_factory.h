// A class factory for one COM class, made from a creation function.
#pragma once

#include <objbase.h>

#include <new>

namespace com {

// Creates a new object and returns the requested interface.
using CreateFunction = HRESULT (*)(REFIID iid, void** object);

class CClassFactory : public IClassFactory {
public:
    explicit CClassFactory(CreateFunction create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateFunction create_;
};

// Creates T (reference count 1), asks it for iid and drops the creation reference.
template <class T>
HRESULT CreateObject(REFIID iid, void** object) {
    T* created = new (std::nothrow) T();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

}  // namespace com
