#include "com/class_factory.h"

#include "com/com_object.h"

namespace com {

// The factories are static objects: their count only pins the module.
STDMETHODIMP CClassFactory::QueryInterface(REFIID iid, void** object) {
    return QueryOne<IClassFactory>(this, iid, IID_IClassFactory, object);
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
    LockModule();
    return 2;
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    UnlockModule();
    return 1;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock) {
        LockModule();
    } else {
        UnlockModule();
    }
    return S_OK;
}

}  // namespace com
