#include "control/com/connection_point.h"

#include <olectl.h>

#include <new>

#include "com/com_enumerator.h"

namespace com {

CConnectionPoint::CConnectionPoint(IConnectionPointContainer* container, const IID& eventIid)
    : container_(container), eventIid_(eventIid) {}

CConnectionPoint::~CConnectionPoint() { DisconnectAll(); }

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID iid, void** object) {
    return QueryOne<IConnectionPoint>(this, iid, IID_IConnectionPoint, object);
}

STDMETHODIMP_(ULONG) CConnectionPoint::AddRef() { return container_->AddRef(); }
STDMETHODIMP_(ULONG) CConnectionPoint::Release() { return container_->Release(); }

STDMETHODIMP CConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = eventIid_;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = container_;
    container_->AddRef();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(eventIid_, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back({nextCookie_, dispatch});
    *cookie = nextCookie_++;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie == cookie) {
            IDispatch* dispatch = it->dispatch;
            sinks_.erase(it);
            dispatch->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

namespace {

// Connections are handed out with their sink held, as IEnumConnections requires.
struct ConnectionItems {
    static void Hold(CONNECTDATA& item) { item.pUnk->AddRef(); }
    static void Drop(CONNECTDATA& item) { item.pUnk->Release(); }
    static HRESULT HandOut(const CONNECTDATA& item, CONNECTDATA* out) {
        *out = item;
        out->pUnk->AddRef();
        return S_OK;
    }
};

using CEnumConnections = ComEnumerator<IEnumConnections, CONNECTDATA, ConnectionItems>;
using CEnumConnectionPoints = ComEnumerator<IEnumConnectionPoints, IConnectionPoint*, InterfaceItems<IConnectionPoint>>;

}  // namespace

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** connections) {
    std::vector<CONNECTDATA> items;
    for (const Sink& s : sinks_) items.push_back({s.dispatch, s.cookie});
    return CEnumConnections::Create(IID_IEnumConnections, std::move(items), connections);
}

void CConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params) {
    // A handler may unadvise or connect others: call a held copy of the list.
    std::vector<IDispatch*> targets;
    for (const Sink& s : sinks_) {
        s.dispatch->AddRef();
        targets.push_back(s.dispatch);
    }
    for (IDispatch* sink : targets) {
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
        sink->Release();
    }
}

void CConnectionPoint::DisconnectAll() {
    std::vector<Sink> sinks;
    sinks.swap(sinks_);
    for (const Sink& s : sinks) s.dispatch->Release();
}

HRESULT CreateConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** result) {
    return CEnumConnectionPoints::Create(IID_IEnumConnectionPoints, {point}, result);
}

}  // namespace com
