// What every DirectShow filter of this tree (the virtual camera, the test
// rig's converter) answers the same way: its class id, the reference clock,
// the graph it joined and its name, all under one lock of their own.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cwchar>
#include <mutex>

#include "com/com_object.h"

namespace com::dshow {

template <class... Extra>
class FilterBase : public com::ComObject<IBaseFilter, Extra...> {
public:
    explicit FilterBase(const CLSID& clsid) : clsid_(clsid) {}

    STDMETHODIMP GetClassID(CLSID* clsid) override {
        if (clsid == nullptr) return E_POINTER;
        *clsid = clsid_;
        return S_OK;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override {
        std::lock_guard<std::mutex> guard(infoLock_);
        if (clock != nullptr) clock->AddRef();
        if (clock_ != nullptr) clock_->Release();
        clock_ = clock;
        return S_OK;
    }
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
        if (clock == nullptr) return E_POINTER;
        *clock = TakeClock();
        return S_OK;
    }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
        if (info == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> guard(infoLock_);
        wcsncpy(info->achName, name_, MAX_FILTER_NAME);
        info->achName[MAX_FILTER_NAME - 1] = L'\0';
        info->pGraph = graph_;
        if (graph_ != nullptr) graph_->AddRef();
        return S_OK;
    }
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        std::lock_guard<std::mutex> guard(infoLock_);
        graph_ = graph;
        name_[0] = L'\0';
        if (name != nullptr) {
            wcsncpy(name_, name, MAX_FILTER_NAME);
            name_[MAX_FILTER_NAME - 1] = L'\0';
        }
        OnJoinGraph(graph);
        return S_OK;
    }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    // A counted reference to the graph's clock, or null.
    IReferenceClock* TakeClock() {
        std::lock_guard<std::mutex> guard(infoLock_);
        if (clock_ != nullptr) clock_->AddRef();
        return clock_;
    }

protected:
    ~FilterBase() override {
        if (clock_ != nullptr) clock_->Release();
    }
    // Called with InfoLock() held when the filter joins or leaves a graph.
    virtual void OnJoinGraph(IFilterGraph*) {}
    std::mutex& InfoLock() { return infoLock_; }

private:
    const CLSID& clsid_;
    std::mutex infoLock_;
    IReferenceClock* clock_ = nullptr;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph owns the filter
    WCHAR name_[MAX_FILTER_NAME] = {};
};

}  // namespace com::dshow
