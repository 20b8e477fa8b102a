// Reference counting shared by every COM object this tree implements (the
// control's, the virtual camera's, the test converter's, the host's): the
// object starts with one reference, holds its module for DllCanUnloadNow
// while alive, and deletes itself when the last reference goes.
#pragma once

#include <windows.h>

#include "com/module.h"

namespace com {

template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() { LockModule(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~ComObject() { UnlockModule(); }

private:
    LONG refs_ = 1;
};

// Answers QueryInterface for IUnknown and one interface `iid`, implemented as I.
template <class I>
HRESULT QueryOne(I* self, REFIID asked, const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (asked == IID_IUnknown || asked == iid) {
        *out = self;
        self->AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

}  // namespace com
