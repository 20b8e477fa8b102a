#include "control/com/connection_point.h"

#include <olectl.h>

#include <new>

#include "control/com/module.h"

namespace com {

CConnectionPoint::CConnectionPoint(IConnectionPointContainer* container, const IID& eventIid)
    : container_(container), eventIid_(eventIid) {}

CConnectionPoint::~CConnectionPoint() { DisconnectAll(); }

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
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

// Snapshot enumerator of the connections at the time of the call.
class CEnumConnections final : public IEnumConnections {
public:
    explicit CEnumConnections(std::vector<CONNECTDATA> items) : items_(std::move(items)) {
        for (auto& c : items_) c.pUnk->AddRef();
        LockModule();
    }
    ~CEnumConnections() {
        for (auto& c : items_) c.pUnk->Release();
        UnlockModule();
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumConnections) {
            *object = static_cast<IEnumConnections*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG count, CONNECTDATA* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < items_.size(); ++n, ++position_) {
            out[n] = items_[position_];
            out[n].pUnk->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        position_ += count;
        if (position_ > items_.size()) position_ = items_.size();
        return position_ < items_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnections** result) override {
        if (!result) return E_POINTER;
        auto* copy = new (std::nothrow) CEnumConnections(items_);
        if (!copy) return E_OUTOFMEMORY;
        copy->position_ = position_;
        *result = copy;
        return S_OK;
    }

private:
    LONG refs_ = 1;
    std::vector<CONNECTDATA> items_;
    size_t position_ = 0;
};

class CEnumConnectionPoints final : public IEnumConnectionPoints {
public:
    explicit CEnumConnectionPoints(IConnectionPoint* point) : point_(point) {
        point_->AddRef();
        LockModule();
    }
    ~CEnumConnectionPoints() {
        point_->Release();
        UnlockModule();
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IEnumConnectionPoints) {
            *object = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        if (count > 0 && !done_) {
            out[0] = point_;
            point_->AddRef();
            done_ = true;
            n = 1;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        if (count > 0) done_ = true;
        return done_ && count > 1 ? S_FALSE : S_OK;
    }
    STDMETHODIMP Reset() override {
        done_ = false;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** result) override {
        if (!result) return E_POINTER;
        auto* copy = new (std::nothrow) CEnumConnectionPoints(point_);
        if (!copy) return E_OUTOFMEMORY;
        copy->done_ = done_;
        *result = copy;
        return S_OK;
    }

private:
    LONG refs_ = 1;
    IConnectionPoint* point_;
    bool done_ = false;
};

}  // namespace

STDMETHODIMP CConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (!connections) return E_POINTER;
    std::vector<CONNECTDATA> items;
    for (const Sink& s : sinks_) items.push_back({s.dispatch, s.cookie});
    *connections = new (std::nothrow) CEnumConnections(std::move(items));
    return *connections ? S_OK : E_OUTOFMEMORY;
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
    if (!result) return E_POINTER;
    *result = new (std::nothrow) CEnumConnectionPoints(point);
    return *result ? S_OK : E_OUTOFMEMORY;
}

}  // namespace com
