// The control's module: class factories and self-registration.
#include "control/tavrik_module.h"

#include <olectl.h>

#include "control/com/class_factory.h"
#include "control/com/module.h"
#include "control/com/registration.h"
#include "control/tavrik_ctrl.h"
#include "control/tavrik_ids.h"
#include "control/tavrik_prop_page.h"

// {E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}
const CLSID CLSID_TavrikPropPage = {0xe2f94d17, 0x3a6b, 0x45c0, {0x9d, 0x28, 0x6b, 0x1c, 0x7e, 0x0a, 0x4f, 0x39}};

namespace {

com::CClassFactory ControlFactory(CreateTavrikCtrl);
com::CClassFactory PropPageFactory(CreateTavrikPropPage);

const com::ClassRegistration kClasses[] = {
    {&CLSID_Tavrik, kTavrikCtrlProgId, IDS_TAVRIK, true, kTavrikMiscStatus, IDB_TOOLBOX, &LIBID_TavrikLib, "1.0"},
    {&CLSID_TavrikPropPage, kTavrikPropPageProgId, IDS_TAVRIK_PPG, false, 0, 0, nullptr, nullptr},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_Tavrik) return ControlFactory.QueryInterface(iid, object);
    if (clsid == CLSID_TavrikPropPage) return PropPageFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return com::ModuleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
    if (FAILED(com::RegisterModuleTypeLib())) return SELFREG_E_TYPELIB;
    for (const auto& c : kClasses)
        if (FAILED(com::RegisterClassKeys(c))) return SELFREG_E_CLASS;
    return S_OK;
}

STDAPI DllUnregisterServer() {
    if (FAILED(com::UnregisterModuleTypeLib(LIBID_TavrikLib, 1, 0))) return SELFREG_E_TYPELIB;
    for (const auto& c : kClasses)
        if (FAILED(com::UnregisterClassKeys(c))) return SELFREG_E_CLASS;
    return S_OK;
}
