#include <cstdint>

#include "modules/module_loader.h"
#include "modules/pe_image.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (Lower(*a) != Lower(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

// The export directory is read from the mapping, bounded by the image size
// recorded at load time, so a corrupted directory yields null.
void* GetModuleExport(const ModuleImage* module, const char* name) {
    if (!module || !name || module->exportSize == 0) return nullptr;
    const pe::ByteView image{module->base, module->size};
    const uint64_t dir = module->exportRva;
    uint32_t functionCount = 0, nameCount = 0, functions = 0, names = 0, ordinals = 0;
    if (!image.Read(dir + 20, &functionCount) || !image.Read(dir + 24, &nameCount) ||
        !image.Read(dir + 28, &functions) || !image.Read(dir + 32, &names) || !image.Read(dir + 36, &ordinals)) {
        return nullptr;
    }
    if (nameCount == 0 || functionCount == 0) return nullptr;
    for (uint64_t i = 0; i < nameCount; ++i) {
        uint32_t nameRva = 0;
        if (!image.Read(names + 4 * i, &nameRva)) return nullptr;
        const char* exported = image.String(nameRva);
        if (!exported) return nullptr;
        if (!EqualNoCase(exported, name)) continue;
        uint16_t index = 0;
        uint32_t functionRva = 0;
        if (!image.Read(ordinals + 2 * i, &index) || index >= functionCount) return nullptr;
        if (!image.Read(functions + 4 * uint64_t{index}, &functionRva) || functionRva >= module->size) return nullptr;
        return module->base + functionRva;
    }
    return nullptr;
}
