#include "modules/module_loader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "modules/module_fixups.h"
#include "modules/pe_image.h"

namespace {

// Index: executable, readable, writable bits of a section's Characteristics.
constexpr uint32_t kProtections[2][2][2] = {
    {{kPageNoAccess, kPageWriteCopy}, {kPageReadOnly, kPageReadWrite}},
    {{kPageExecute, kPageExecuteWriteCopy}, {kPageExecuteRead, kPageExecuteReadWrite}},
};

uint32_t SectionProtection(uint32_t characteristics) {
    const bool execute = characteristics & pe::kSectionExecute;
    const bool read = characteristics & pe::kSectionRead;
    const bool write = characteristics & pe::kSectionWrite;
    uint32_t protection = kProtections[execute][read][write];
    if (characteristics & pe::kSectionNotCached) protection |= kPageNoCache;
    return protection;
}

// Every section's raw data must come from inside the file and land inside the image.
bool SectionsFit(const pe::ByteView& file, const pe::Headers& h) {
    for (uint32_t i = 0; i < h.numberOfSections; ++i) {
        const pe::Section s = pe::ReadSection(file, h, i);
        if (s.sizeOfRawData == 0) continue;
        if (!file.Contains(s.pointerToRawData, s.sizeOfRawData)) return false;
        if (uint64_t{s.virtualAddress} + s.sizeOfRawData > h.sizeOfImage) return false;
    }
    return true;
}

void* Reserve(IModulePlatform& platform, const pe::Headers& h) {
    void* preferred = reinterpret_cast<void*>(static_cast<uintptr_t>(h.imageBase));
    void* base = platform.Reserve(preferred, h.sizeOfImage);
    if (!base) base = platform.Reserve(nullptr, h.sizeOfImage);
    if (base && !h.is64 && reinterpret_cast<uintptr_t>(base) + uint64_t{h.sizeOfImage} > (uint64_t{1} << 32)) {
        platform.Release(base, h.sizeOfImage);  // a 32-bit image cannot run above 4 GiB
        return nullptr;
    }
    return base;
}

void CopyHeaders(const pe::ByteView& file, const pe::Headers& h, uint8_t* base) {
    const uint64_t length = std::min<uint64_t>({uint64_t{h.ntOffset} + h.sizeOfHeaders, file.size, h.sizeOfImage});
    std::memcpy(base, file.data, static_cast<size_t>(length));
    const uint64_t actual = reinterpret_cast<uintptr_t>(base);
    if (h.is64) {
        std::memcpy(base + h.imageBaseOffset, &actual, 8);
    } else {
        const uint32_t actual32 = static_cast<uint32_t>(actual);
        std::memcpy(base + h.imageBaseOffset, &actual32, 4);
    }
}

// Copies each section and notes where it went in the mapped header's Misc
// field (the low 32 bits of the address on x86-64, where the field is narrower).
void CopySections(IModulePlatform& platform, const pe::ByteView& file, const pe::Headers& h, uint8_t* base) {
    for (uint32_t i = 0; i < h.numberOfSections; ++i) {
        const pe::Section s = pe::ReadSection(file, h, i);
        uint8_t* dest = base + s.virtualAddress;
        if (s.sizeOfRawData > 0) {
            platform.Commit(dest, s.sizeOfRawData);
            std::memcpy(dest, file.data + s.pointerToRawData, s.sizeOfRawData);
        } else if (h.sectionAlignment > 0 && s.virtualAddress < h.sizeOfImage) {
            const uint32_t length = std::min(h.sectionAlignment, h.sizeOfImage - s.virtualAddress);
            platform.Commit(dest, length);
            std::memset(dest, 0, length);
        } else {
            continue;
        }
        const uint32_t placed = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dest));
        std::memcpy(base + h.sectionTableOffset + i * pe::kSectionHeaderSize + 8, &placed, 4);
    }
}

// Sections without raw data keep the read-write pages they were given.
void ProtectSections(IModulePlatform& platform, const pe::ByteView& file, const pe::Headers& h, uint8_t* base) {
    for (uint32_t i = 0; i < h.numberOfSections; ++i) {
        const pe::Section s = pe::ReadSection(file, h, i);
        if (s.sizeOfRawData == 0) continue;
        uint8_t* at = base + s.virtualAddress;
        if (s.characteristics & pe::kSectionDiscardable) {
            platform.Decommit(at, s.sizeOfRawData);
        } else {
            platform.Protect(at, s.sizeOfRawData, SectionProtection(s.characteristics));
        }
    }
}

}  // namespace

ModuleImage* LoadModuleImage(const void* data, size_t size, IModulePlatform& platform) {
    if (!data) return nullptr;
    const pe::ByteView file{static_cast<const uint8_t*>(data), size};
    pe::Headers h;
    if (!pe::ParseHeaders(file, &h) || h.machine != platform.ProcessMachine() || !SectionsFit(file, h)) {
        return nullptr;
    }
    uint8_t* base = static_cast<uint8_t*>(Reserve(platform, h));
    if (!base) return nullptr;
    auto* module = static_cast<ModuleImage*>(platform.AllocateRecord(sizeof(ModuleImage)));
    if (!module) {
        platform.Release(base, h.sizeOfImage);
        return nullptr;
    }
    *module = ModuleImage{base + h.ntOffset, base, nullptr, 0, 0, &platform, h.sizeOfImage,
                          h.addressOfEntryPoint, h.directories[pe::kDirectoryExport].rva,
                          h.directories[pe::kDirectoryExport].size, h.is64};

    platform.Commit(base, h.sizeOfImage);
    platform.Commit(base, h.sizeOfHeaders);
    CopyHeaders(file, h, base);
    CopySections(platform, file, h, base);

    const uint64_t delta = reinterpret_cast<uintptr_t>(base) - h.imageBase;
    const pe::DataDirectory relocations = h.directories[pe::kDirectoryRelocation];
    const bool relocated = delta == 0 || relocations.size == 0 || ApplyRelocations(*module, relocations, delta);
    if (!relocated || !ResolveImports(module, h.directories[pe::kDirectoryImport])) {
        UnloadModuleImage(module);  // the entry point has not run: no detach call
        return nullptr;
    }
    ProtectSections(platform, file, h, base);

    if (module->entryRva == 0) return module;
    if (platform.CallEntry(base + module->entryRva, base, kProcessAttach) == 0) {
        UnloadModuleImage(module);
        return nullptr;
    }
    module->attached = 1;
    return module;
}

int32_t UnloadModuleImage(ModuleImage* module) {
    if (!module) return 0;
    IModulePlatform& platform = *module->platform;
    if (module->attached == 1) {
        platform.CallEntry(module->base + module->entryRva, module->base, kProcessDetach);
        module->attached = 0;
    }
    if (module->libraries) {
        for (int32_t i = 0; i < module->libraryCount; ++i) platform.CloseLibrary(module->libraries[i]);
        std::free(module->libraries);
    }
    if (module->base) platform.Release(module->base, module->size);
    platform.FreeRecord(module);
    return 0;
}
