// Bounded reading of PE/COFF images. Every offset taken from an image is
// checked against the bytes that really exist before it is followed, so a
// truncated or corrupted image is refused instead of read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pe {

constexpr uint16_t kDosSignature = 0x5A4D;      // "MZ"
constexpr uint32_t kNtSignature = 0x00004550;   // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

constexpr int kDirectoryExport = 0;
constexpr int kDirectoryImport = 1;
constexpr int kDirectoryRelocation = 5;
constexpr int kDirectoryCount = 16;

constexpr uint16_t kRelocationHighLow = 3;   // IMAGE_REL_BASED_HIGHLOW
constexpr uint16_t kRelocationDir64 = 10;    // IMAGE_REL_BASED_DIR64

constexpr uint32_t kSectionInitializedData = 0x00000040;
constexpr uint32_t kSectionUninitializedData = 0x00000080;
constexpr uint32_t kSectionDiscardable = 0x02000000;
constexpr uint32_t kSectionNotCached = 0x04000000;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;

constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kRelocationBlockHeaderSize = 8;

// A run of bytes whose length is known; reads outside it fail.
struct ByteView {
    const uint8_t* data = nullptr;
    uint64_t size = 0;

    bool Contains(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }

    template <typename T>
    bool Read(uint64_t offset, T* out) const {
        if (!Contains(offset, sizeof(T))) return false;
        std::memcpy(out, data + offset, sizeof(T));
        return true;
    }
    // A zero-terminated string starting at offset that ends inside the view.
    const char* String(uint64_t offset) const {
        if (offset >= size) return nullptr;
        const void* end = std::memchr(data + offset, 0, static_cast<size_t>(size - offset));
        return end ? reinterpret_cast<const char*>(data + offset) : nullptr;
    }
};

struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t sizeOfRawData = 0;
    uint32_t pointerToRawData = 0;
    uint32_t characteristics = 0;
};

// What the loader needs from the DOS, file and optional headers.
struct Headers {
    uint32_t ntOffset = 0;  // e_lfanew
    uint16_t machine = 0;
    bool is64 = false;      // PE32+
    uint16_t numberOfSections = 0;
    uint32_t sectionTableOffset = 0;
    uint32_t addressOfEntryPoint = 0;
    uint64_t imageBase = 0;
    uint32_t imageBaseOffset = 0;  // where ImageBase sits, from the start of the file
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfImage = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t sizeOfInitializedData = 0;
    uint32_t sizeOfUninitializedData = 0;
    DataDirectory directories[kDirectoryCount];
};

// Parses and checks the headers of an image file: signatures, a machine whose
// optional header matches it, a section table inside both the buffer and
// SizeOfHeaders, SizeOfHeaders within the buffer and SizeOfImage, and an entry
// point inside the image.
bool ParseHeaders(const ByteView& file, Headers* out);

// The index-th section header (index < numberOfSections; bounds checked by ParseHeaders).
Section ReadSection(const ByteView& file, const Headers& headers, uint32_t index);

}  // namespace pe
