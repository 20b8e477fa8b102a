// The test rig's YUY2 -> RGB32 transform filter. Wine's video renderer takes
// only RGB and Wine has no YUY2 converter, so a capture graph rendered to
// the default renderer needs this one in the prefix (registered there only).
#pragma once

#include <windows.h>
#include <dshow.h>

#include <mutex>

#include "com/dshow/filter_base.h"
#include "com/dshow/output_pin.h"

namespace k7qtest {

// {5C2E8B14-9D3A-4E7F-8B21-6F4A0D9C3E72}
extern const CLSID CLSID_K7QYuy2Converter;

class Yuy2Converter;

class ConverterInputPin final : public IPin, public IMemInputPin {
public:
    explicit ConverterInputPin(Yuy2Converter* filter) : filter_(filter) {}
    ~ConverterInputPin();

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

    bool Connected() const { return peer_ != nullptr; }
    const AM_MEDIA_TYPE& MediaType() const { return mt_; }

private:
    Yuy2Converter* filter_;
    IPin* peer_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    AM_MEDIA_TYPE mt_ = {};
};

class ConverterOutputPin final : public com::dshow::OutputPin {
public:
    explicit ConverterOutputPin(Yuy2Converter* filter);

    // Converts one YUY2 sample and passes it on; called on the upstream thread.
    HRESULT Deliver(IMediaSample* in);

protected:
    HRESULT OfferedType(AM_MEDIA_TYPE* mt) const override;  // RGB32 at the input's size
    bool Streaming() const override;
    long MinimumBuffers() const override { return 3; }

private:
    Yuy2Converter* filter_;
};

class Yuy2Converter final : public com::dshow::FilterBase<> {
public:
    Yuy2Converter();
    ~Yuy2Converter() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;

    ConverterInputPin& Input() { return input_; }
    ConverterOutputPin& Output() { return output_; }
    bool Streaming() const { return state_ != State_Stopped; }

private:
    std::mutex lock_;
    FILTER_STATE state_ = State_Stopped;
    ConverterInputPin input_;
    ConverterOutputPin output_;
};

}  // namespace k7qtest
