#include "modules/vmcalib.h"

namespace {

template <typename Entry>
bool Bind(const ModuleImage* module, const char* name, Entry* entry) {
    *entry = reinterpret_cast<Entry>(GetModuleExport(module, name));
    return *entry != nullptr;
}

}  // namespace

CVmCaLib::CVmCaLib(IModulePlatform& platform, int resourceId) {
    ModuleResource resource;
    if (!platform.FindOwnResource(kModuleResourceType, resourceId, &resource)) return;
    module_ = LoadModuleImage(resource.data, resource.size, platform);
    if (module_ && !BindAll()) {
        // Entries of an unloaded image must never stay callable.
        ClearEntries();
        UnloadModuleImage(module_);
        module_ = nullptr;
    }
}

CVmCaLib::~CVmCaLib() {
    ClearEntries();
    UnloadModuleImage(module_);
}

bool CVmCaLib::BindAll() {
    return Bind(module_, "f0", &f0) && Bind(module_, "f1", &f1) && Bind(module_, "f2", &f2) &&
           Bind(module_, "f3", &f3) && Bind(module_, "f4", &f4) && Bind(module_, "f5", &f5) &&
           Bind(module_, "f6", &f6) && Bind(module_, "f7", &f7) && Bind(module_, "f8", &f8) &&
           Bind(module_, "f10", &f10) && Bind(module_, "f11", &f11) && Bind(module_, "f12", &f12) &&
           Bind(module_, "f13", &f13) && Bind(module_, "f14", &f14) && Bind(module_, "f15", &f15);
}

void CVmCaLib::ClearEntries() {
    f0 = nullptr;
    f1 = nullptr;
    f2 = nullptr;
    f3 = nullptr;
    f4 = nullptr;
    f5 = f6 = f7 = f8 = nullptr;
    f10 = f11 = f12 = f13 = f14 = f15 = nullptr;
}
