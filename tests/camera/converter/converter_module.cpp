// The converter DLL: class object, and registration as an ordinary filter
// (merit normal) that the graph's intelligent connect may insert between a
// YUY2 output and an RGB renderer.
#include <windows.h>
#include <dshow.h>

#include "control/com/class_factory.h"
#include "control/com/module.h"
#include "sim/camera/win/registry.h"
#include "tests/camera/converter/yuy2_converter.h"

using k7qtest::CLSID_K7QYuy2Converter;

namespace {

constexpr wchar_t kName[] = L"K7Q Test YUY2 to RGB32";
com::CClassFactory g_factory(&com::CreateObject<k7qtest::Yuy2Converter>);

HRESULT WithMapper(HRESULT (*step)(IFilterMapper2*)) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    if (SUCCEEDED(hr)) {
        hr = step(mapper);
        mapper->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return hr;
}

HRESULT RegisterWithMapper(IFilterMapper2* mapper) {
    REGPINTYPES inType = {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2};
    REGPINTYPES outType = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32};
    REGFILTERPINS pins[2] = {};
    pins[0].nMediaTypes = 1;
    pins[0].lpMediaType = &inType;
    pins[1].bOutput = TRUE;
    pins[1].nMediaTypes = 1;
    pins[1].lpMediaType = &outType;
    REGFILTER2 filter = {};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_NORMAL;
    filter.cPins = 2;
    filter.rgPins = pins;
    return mapper->RegisterFilter(CLSID_K7QYuy2Converter, kName, nullptr, &CLSID_LegacyAmFilterCategory, nullptr,
                                  &filter);
}

HRESULT UnregisterWithMapper(IFilterMapper2* mapper) {
    return mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, CLSID_K7QYuy2Converter);
}

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_K7QYuy2Converter) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return com::ModuleInUse() ? S_FALSE : S_OK; }

extern "C" HRESULT WINAPI DllRegisterServer() {
    HRESULT hr = k7qsim::RegisterInprocServer(CLSID_K7QYuy2Converter, kName, com::ModuleInstance());
    if (SUCCEEDED(hr)) hr = WithMapper(&RegisterWithMapper);
    return hr;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    WithMapper(&UnregisterWithMapper);
    return k7qsim::UnregisterInprocServer(CLSID_K7QYuy2Converter);
}
