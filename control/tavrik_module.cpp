// The control's module: class factories and self-registration.
#include "control/tavrik_module.h"

#include "com/class_table.h"
#include "com/registration.h"
#include "control/tavrik_ctrl.h"
#include "control/tavrik_ids.h"
#include "control/tavrik_prop_page.h"
#include "log/log_writer.h"

// {E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}
const CLSID CLSID_TavrikPropPage = {0xe2f94d17, 0x3a6b, 0x45c0, {0x9d, 0x28, 0x6b, 0x1c, 0x7e, 0x0a, 0x4f, 0x39}};

namespace {

com::CClassFactory ControlFactory(CreateTavrikCtrl);
com::CClassFactory PropPageFactory(CreateTavrikPropPage);

const com::ClassRegistration kControl = {
    &CLSID_Tavrik, kTavrikCtrlProgId, IDS_TAVRIK, true, kTavrikMiscStatus, IDB_TOOLBOX, &LIBID_TavrikLib, "1.0"};
const com::ClassRegistration kPropPage = {
    &CLSID_TavrikPropPage, kTavrikPropPageProgId, IDS_TAVRIK_PPG, false, 0, 0, nullptr, nullptr};

const com::ClassEntry kClasses[] = {
    {&CLSID_Tavrik, &ControlFactory, [] { return com::RegisterClassKeys(kControl); },
     [] { return com::UnregisterClassKeys(kControl); }},
    {&CLSID_TavrikPropPage, &PropPageFactory, [] { return com::RegisterClassKeys(kPropPage); },
     [] { return com::UnregisterClassKeys(kPropPage); }},
};

const com::ClassTable kModule = {kClasses, 2, com::RegisterModuleTypeLib,
                                 [] { return com::UnregisterModuleTypeLib(LIBID_TavrikLib, 1, 0); }};

// The module stays loaded while its own threads run: the log writer (also
// one a stop has let go) and the open device object's workers. A control
// released without IrisClose leaves both behind.
bool ModuleThreadsRun() { return LogWriter().WriterThreadAlive() || CTavrikCtrl::DeviceOpen(); }
const bool kUnloadGuardSet = (com::SetUnloadGuard(ModuleThreadsRun), true);

}  // namespace

COM_MODULE_EXPORTS(kModule)
