// The connection point of one outgoing dispinterface, and the enumerators
// that IConnectionPointContainer and IConnectionPoint hand out.
#pragma once

#include <ocidl.h>

#include <vector>

namespace com {

class CConnectionPoint : public IConnectionPoint {
public:
    // container: the object whose reference count this point shares.
    CConnectionPoint(IConnectionPointContainer* container, const IID& eventIid);
    ~CConnectionPoint();
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Calls the method on every connected sink, the sinks held for the call.
    void Fire(DISPID dispid, DISPPARAMS* params);
    void DisconnectAll();

private:
    struct Sink {
        DWORD cookie;
        IDispatch* dispatch;
    };
    IConnectionPointContainer* container_;
    IID eventIid_;
    std::vector<Sink> sinks_;
    DWORD nextCookie_ = 1;
};

// Makes a one-element enumerator over a connection point (for EnumConnectionPoints).
HRESULT CreateConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** result);

}  // namespace com
