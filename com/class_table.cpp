#include "com/class_table.h"

namespace com {
namespace {

HRESULT RunClassSteps(const ClassTable& table, bool registering) {
    for (size_t i = 0; i < table.count; ++i) {
        const ClassEntry& entry = table.classes[i];
        HRESULT (*step)() = registering ? entry.registerKeys : entry.unregisterKeys;
        if (step && FAILED(step())) return SELFREG_E_CLASS;
    }
    return S_OK;
}

}  // namespace

HRESULT GetClassObject(const ClassTable& table, REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (size_t i = 0; i < table.count; ++i) {
        if (*table.classes[i].clsid == clsid) return table.classes[i].factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterServer(const ClassTable& table) {
    if (table.registerModule && FAILED(table.registerModule())) return SELFREG_E_TYPELIB;
    return RunClassSteps(table, true);
}

HRESULT UnregisterServer(const ClassTable& table) {
    if (table.unregisterModule && FAILED(table.unregisterModule())) return SELFREG_E_TYPELIB;
    return RunClassSteps(table, false);
}

}  // namespace com
