#include "tests/modules/shipped/embedded_module.h"

#include "modules/pe_image.h"
#include "tests/support/temp_dir.h"

namespace shipped {
namespace {

constexpr int kDirectoryResource = 2;
constexpr uint32_t kSubdirectory = 0x80000000u;

struct ResourceTree {
    pe::ByteView file;
    uint64_t root = 0;  // file offset of the resource directory

    // The file offset that an entry matching `match` points at (subdirectory or data entry), 0 for none.
    template <typename Match>
    uint32_t Find(uint64_t directory, Match match) const {
        uint16_t named = 0, ids = 0;
        if (!file.Read(directory + 12, &named) || !file.Read(directory + 14, &ids)) return 0;
        for (uint32_t i = 0; i < uint32_t{named} + ids; ++i) {
            uint32_t name = 0, target = 0;
            if (!file.Read(directory + 16 + 8 * i, &name) || !file.Read(directory + 20 + 8 * i, &target)) return 0;
            if (match(name)) return target;
        }
        return 0;
    }
    bool NameIs(uint32_t name, const char* text) const {
        if (!(name & kSubdirectory)) return false;
        const uint64_t at = root + (name & ~kSubdirectory);
        uint16_t length = 0;
        if (!file.Read(at, &length) || length != std::char_traits<char>::length(text)) return false;
        for (uint16_t i = 0; i < length; ++i) {
            uint16_t c = 0;
            if (!file.Read(at + 2 + 2 * i, &c) || c != static_cast<unsigned char>(text[i])) return false;
        }
        return true;
    }
};

// The file offset of an RVA inside some section's raw data, or 0.
uint64_t FileOffset(const pe::ByteView& file, const pe::Headers& h, uint32_t rva) {
    for (uint32_t i = 0; i < h.numberOfSections; ++i) {
        const pe::Section s = pe::ReadSection(file, h, i);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.sizeOfRawData)
            return uint64_t{s.pointerToRawData} + (rva - s.virtualAddress);
    }
    return 0;
}

}  // namespace

std::string EmbeddedModule(const std::string& image, int id) {
    const pe::ByteView file{reinterpret_cast<const uint8_t*>(image.data()), image.size()};
    pe::Headers h;
    if (!pe::ParseHeaders(file, &h) || h.directories[kDirectoryResource].size == 0) return {};
    ResourceTree tree{file, FileOffset(file, h, h.directories[kDirectoryResource].rva)};
    if (tree.root == 0) return {};
    const uint32_t type = tree.Find(tree.root, [&](uint32_t name) { return tree.NameIs(name, "MODE"); });
    if (!(type & kSubdirectory)) return {};
    const uint32_t entry = tree.Find(tree.root + (type & ~kSubdirectory),
                                     [&](uint32_t name) { return name == static_cast<uint32_t>(id); });
    if (!(entry & kSubdirectory)) return {};
    const uint32_t language = tree.Find(tree.root + (entry & ~kSubdirectory), [](uint32_t) { return true; });
    uint32_t rva = 0, size = 0;
    if (language == 0 || (language & kSubdirectory) || !file.Read(tree.root + language, &rva) ||
        !file.Read(tree.root + language + 4, &size)) {
        return {};
    }
    const uint64_t at = FileOffset(file, h, rva);
    if (at == 0 || !file.Contains(at, size)) return {};
    return image.substr(static_cast<size_t>(at), size);
}

std::string ShippedModule(const std::string& ocxPath, int id, const std::string& dllPath, std::string* source) {
    std::string bytes = EmbeddedModule(testsupport::ReadBinaryFile(ocxPath), id);
    *source = "MODE " + std::to_string(id) + " of " + ocxPath;
    if (bytes.empty()) {
        bytes = testsupport::ReadBinaryFile(dllPath);
        *source = dllPath + " (not embedded in " + ocxPath + ")";
    }
    return bytes;
}

}  // namespace shipped
