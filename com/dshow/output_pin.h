// The output pin every DirectShow filter of this tree builds on (the virtual
// camera's capture pin, the test rig's converter output): connection with
// allocator negotiation, the pin's identity and the IPin queries. A derived
// pin names the one media type it offers and says when its filter streams.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace com::dshow {

class OutputPin : public IPin {
public:
    // `filter` owns the pin: the pin counts references on it.
    OutputPin(IBaseFilter* filter, const wchar_t* name);
    virtual ~OutputPin();
    OutputPin(const OutputPin&) = delete;
    OutputPin& operator=(const OutputPin&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    bool IsConnected() const { return peer_ != nullptr; }
    IPin* Peer() const { return peer_; }
    HRESULT CommitAllocator();  // S_OK when unconnected
    void DecommitAllocator();

protected:
    // The media type this pin offers now (the caller clears it); a failure when it has none.
    virtual HRESULT OfferedType(AM_MEDIA_TYPE* mt) const = 0;
    // Connections change only while the filter is stopped.
    virtual bool Streaming() const = 0;
    // Buffers the downstream allocator must hold at least.
    virtual long MinimumBuffers() const { return 1; }

    IMemInputPin* Input() const { return input_; }
    IMemAllocator* Allocator() const { return allocator_; }
    const AM_MEDIA_TYPE& ConnectedType() const { return mt_; }

private:
    HRESULT NegotiateAllocator(IMemInputPin* input, long bufferBytes);
    void ReleaseConnection();

    IBaseFilter* filter_;
    const wchar_t* name_;
    AM_MEDIA_TYPE mt_ = {};
    IPin* peer_ = nullptr;
    IMemInputPin* input_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
};

}  // namespace com::dshow
