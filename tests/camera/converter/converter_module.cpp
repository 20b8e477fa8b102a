// The converter DLL: class object, and registration as an ordinary filter
// (merit normal) that the graph's intelligent connect may insert between a
// YUY2 output and an RGB renderer.
#include <windows.h>
#include <dshow.h>

#include "com/class_table.h"
#include "com/registry.h"
#include "tests/camera/converter/yuy2_converter.h"

using k7qtest::CLSID_K7QYuy2Converter;

namespace {

constexpr wchar_t kName[] = L"K7Q Test YUY2 to RGB32";

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

HRESULT RegisterFilterClass() { return com::RegisterInprocServer(CLSID_K7QYuy2Converter, kName, L"Both"); }
HRESULT UnregisterFilterClass() { return com::UnregisterInprocServer(CLSID_K7QYuy2Converter); }
HRESULT RegisterMerit() { return WithMapper(&RegisterWithMapper); }
HRESULT UnregisterMerit() {
    WithMapper(&UnregisterWithMapper);
    return S_OK;
}

com::CClassFactory g_factory(&com::CreateObject<k7qtest::Yuy2Converter>);
const com::ClassEntry kClasses[] = {
    {&CLSID_K7QYuy2Converter, &g_factory, RegisterFilterClass, UnregisterFilterClass},
};
const com::ClassTable kModule = {kClasses, 1, RegisterMerit, UnregisterMerit};

}  // namespace

COM_MODULE_EXPORTS(kModule)
