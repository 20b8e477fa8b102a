// The one table of COM classes a module serves. It drives the module's four
// exports: DllGetClassObject finds the factory by class id, DllCanUnloadNow
// asks the module lock, and DllRegisterServer / DllUnregisterServer run the
// module's own step (type library, device entries, filter mapper) and each
// class's keys. A module defines its table and writes COM_MODULE_EXPORTS(table)
// once; nothing else hand-writes those entry points.
#pragma once

#include <objbase.h>
#include <olectl.h>

#include <cstddef>

#include "com/class_factory.h"
#include "com/module.h"

namespace com {

struct ClassEntry {
    const CLSID* clsid;
    CClassFactory* factory;
    HRESULT (*registerKeys)();    // writes this class's keys; null: none of its own
    HRESULT (*unregisterKeys)();
};

struct ClassTable {
    const ClassEntry* classes;
    size_t count;
    HRESULT (*registerModule)();    // runs before the classes' keys; null: nothing
    HRESULT (*unregisterModule)();  // runs before the classes' keys go
};

HRESULT GetClassObject(const ClassTable& table, REFCLSID clsid, REFIID iid, void** object);
// SELFREG_E_TYPELIB when the module's step fails, SELFREG_E_CLASS when a class's keys do.
HRESULT RegisterServer(const ClassTable& table);
HRESULT UnregisterServer(const ClassTable& table);

}  // namespace com

#define COM_MODULE_EXPORTS(table)                                                                   \
    extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {        \
        return ::com::GetClassObject(table, clsid, iid, object);                                    \
    }                                                                                               \
    extern "C" HRESULT WINAPI DllCanUnloadNow() { return ::com::ModuleInUse() ? S_FALSE : S_OK; }   \
    extern "C" HRESULT WINAPI DllRegisterServer() { return ::com::RegisterServer(table); }          \
    extern "C" HRESULT WINAPI DllUnregisterServer() { return ::com::UnregisterServer(table); }
