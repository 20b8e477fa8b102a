#include "modules/module_fixups.h"

#include <cstdlib>
#include <cstring>

namespace {

pe::ByteView Mapped(const ModuleImage& module) { return pe::ByteView{module.base, module.size}; }

template <typename T>
void Add(uint8_t* at, T delta) {
    T word;
    std::memcpy(&word, at, sizeof word);
    word = static_cast<T>(word + delta);
    std::memcpy(at, &word, sizeof word);
}

bool AppendLibrary(ModuleImage* module, void* library) {
    void* grown = std::realloc(module->libraries, sizeof(void*) * (module->libraryCount + 1));
    if (!grown) return false;
    module->libraries = static_cast<void**>(grown);
    module->libraries[module->libraryCount++] = library;
    return true;
}

// Fills one descriptor's address table from its name table.
bool BindThunks(ModuleImage* module, void* library, uint32_t nameTable, uint32_t addressTable) {
    const pe::ByteView image = Mapped(*module);
    const uint32_t width = module->is64 ? 8 : 4;
    const uint64_t ordinalFlag = module->is64 ? (uint64_t{1} << 63) : (uint64_t{1} << 31);
    for (uint64_t i = 0;; ++i) {
        uint64_t entry = 0;
        const uint64_t from = nameTable + i * width;
        const uint64_t to = addressTable + i * width;
        if (module->is64) {
            if (!image.Read(from, &entry)) return false;
        } else {
            uint32_t entry32 = 0;
            if (!image.Read(from, &entry32)) return false;
            entry = entry32;
        }
        if (entry == 0) return true;
        if (!image.Contains(to, width)) return false;
        void* function = nullptr;
        if (entry & ordinalFlag) {
            function = module->platform->ResolveByOrdinal(library, static_cast<uint16_t>(entry & 0xFFFF));
        } else {
            const char* name = image.String(entry + 2);  // after the 16-bit hint
            if (!name) return false;
            function = module->platform->ResolveByName(library, name);
        }
        if (!function) return false;
        const uint64_t address = reinterpret_cast<uintptr_t>(function);
        if (module->is64) {
            std::memcpy(module->base + to, &address, 8);
        } else {
            const uint32_t address32 = static_cast<uint32_t>(address);
            std::memcpy(module->base + to, &address32, 4);
        }
    }
}

}  // namespace

bool ApplyRelocations(const ModuleImage& module, pe::DataDirectory directory, uint64_t delta) {
    const pe::ByteView image = Mapped(module);
    if (!image.Contains(directory.rva, directory.size)) return false;
    const uint64_t end = uint64_t{directory.rva} + directory.size;
    uint64_t block = directory.rva;
    while (block + pe::kRelocationBlockHeaderSize <= end) {
        uint32_t page = 0, blockSize = 0;
        image.Read(block, &page);
        image.Read(block + 4, &blockSize);
        if (page == 0) break;
        if (blockSize < pe::kRelocationBlockHeaderSize || blockSize > end - block) return false;
        const uint32_t count = (blockSize - pe::kRelocationBlockHeaderSize) / 2;
        const uint8_t* entries = module.base + block + pe::kRelocationBlockHeaderSize;
        for (uint32_t i = 0; i < count; ++i) {
            uint16_t entry;
            std::memcpy(&entry, entries + 2 * i, 2);
            const uint16_t type = entry >> 12;
            const uint64_t target = uint64_t{page} + (entry & 0x0FFF);
            if (type == pe::kRelocationHighLow) {
                if (!image.Contains(target, 4)) return false;
                Add<uint32_t>(module.base + target, static_cast<uint32_t>(delta));
            } else if (type == pe::kRelocationDir64) {
                if (!image.Contains(target, 8)) return false;
                Add<uint64_t>(module.base + target, delta);
            }
        }
        block += blockSize;
    }
    return true;
}

bool ResolveImports(ModuleImage* module, pe::DataDirectory directory) {
    if (directory.size == 0) return true;
    const pe::ByteView image = Mapped(*module);
    // The descriptor list must end with its zero entry inside the image.
    for (uint64_t at = directory.rva;; at += pe::kImportDescriptorSize) {
        if (!image.Contains(at, pe::kImportDescriptorSize)) return false;
        uint32_t originalFirstThunk = 0, nameRva = 0, firstThunk = 0;
        image.Read(at, &originalFirstThunk);
        image.Read(at + 12, &nameRva);
        image.Read(at + 16, &firstThunk);
        if (nameRva == 0) return true;
        const char* name = image.String(nameRva);
        if (!name) return false;
        void* library = module->platform->OpenLibrary(name);
        if (!library) return false;
        if (!AppendLibrary(module, library)) {
            module->platform->CloseLibrary(library);
            return false;
        }
        const uint32_t nameTable = originalFirstThunk ? originalFirstThunk : firstThunk;
        if (!BindThunks(module, library, nameTable, firstThunk)) return false;
    }
}
