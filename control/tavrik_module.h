// The entry points of the control's module (exported by the OCX).
#pragma once

#include <objbase.h>

extern "C" {
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
}
