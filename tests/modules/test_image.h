// Test modules on disk and a few raw reads of their PE headers, written
// independently of the loader so that tests can check its work.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testimage {

constexpr uint64_t kPreferredBase = 0x10000000;

inline std::string ModuleBytes(const std::string& arch, const std::string& name) {
    return testsupport::ReadBinaryFile(std::string(TAVRIK_TEST_MODULE_DIR) + "/" + arch + "/" + name + ".mod");
}

inline uint32_t U32(const std::string& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
inline uint16_t U16(const std::string& b, size_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}
inline void SetU32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
inline void SetU16(std::string& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }

inline size_t NtOffset(const std::string& b) { return U32(b, 0x3C); }
inline size_t OptOffset(const std::string& b) { return NtOffset(b) + 24; }
inline bool Is64(const std::string& b) { return U16(b, OptOffset(b)) == 0x20B; }
inline size_t DirOffset(const std::string& b, int index) { return OptOffset(b) + (Is64(b) ? 112 : 96) + 8 * index; }
inline size_t SectionTable(const std::string& b) { return OptOffset(b) + U16(b, NtOffset(b) + 20); }
inline int SectionCount(const std::string& b) { return U16(b, NtOffset(b) + 6); }
inline size_t SectionHeader(const std::string& b, int i) { return SectionTable(b) + 40 * i; }

// The file offset of an RVA inside some section's raw data.
inline size_t FileOffset(const std::string& b, uint32_t rva) {
    for (int i = 0; i < SectionCount(b); ++i) {
        const size_t s = SectionHeader(b, i);
        const uint32_t va = U32(b, s + 12), raw = U32(b, s + 16);
        if (rva >= va && rva < va + raw) return U32(b, s + 20) + (rva - va);
    }
    return std::string::npos;
}

struct Fixup {
    uint32_t rva;
    int width;  // 4 for HIGHLOW, 8 for DIR64
};

// Every HIGHLOW and DIR64 relocation target of the image.
inline std::vector<Fixup> Relocations(const std::string& b) {
    std::vector<Fixup> fixups;
    const uint32_t dir = U32(b, DirOffset(b, 5)), size = U32(b, DirOffset(b, 5) + 4);
    for (uint32_t at = 0; at + 8 <= size;) {
        const size_t block = FileOffset(b, dir + at);
        const uint32_t page = U32(b, block), blockSize = U32(b, block + 4);
        if (page == 0 || blockSize < 8) break;
        for (uint32_t i = 0; i < (blockSize - 8) / 2; ++i) {
            const uint16_t entry = U16(b, block + 8 + 2 * i);
            if (entry >> 12 == 3) fixups.push_back({page + (entry & 0xFFF), 4});
            if (entry >> 12 == 10) fixups.push_back({page + (entry & 0xFFF), 8});
        }
        at += blockSize;
    }
    return fixups;
}

}  // namespace testimage
