#include "modules/pe_image.h"

namespace pe {
namespace {

constexpr uint32_t kFileHeaderSize = 20;
// Offsets inside the optional header.
constexpr uint32_t kOptEntryPoint = 16;
constexpr uint32_t kOptInitializedData = 8;
constexpr uint32_t kOptUninitializedData = 12;
constexpr uint32_t kOptImageBase32 = 28;
constexpr uint32_t kOptImageBase64 = 24;
constexpr uint32_t kOptSectionAlignment = 32;
constexpr uint32_t kOptSizeOfImage = 56;
constexpr uint32_t kOptSizeOfHeaders = 60;
constexpr uint32_t kOptDirectoryCount32 = 92;
constexpr uint32_t kOptDirectoryCount64 = 108;

bool ParseOptionalHeader(const ByteView& file, uint64_t opt, uint32_t optSize, Headers* h) {
    uint16_t magic = 0;
    if (!file.Read(opt, &magic)) return false;
    if (h->machine == kMachineI386 && magic == kMagicPe32) {
        h->is64 = false;
    } else if (h->machine == kMachineAmd64 && magic == kMagicPe32Plus) {
        h->is64 = true;
    } else {
        return false;
    }
    const uint32_t countOffset = h->is64 ? kOptDirectoryCount64 : kOptDirectoryCount32;
    uint32_t directoryCount = 0;
    if (optSize < countOffset + 4 || !file.Read(opt + countOffset, &directoryCount)) return false;

    h->imageBaseOffset = static_cast<uint32_t>(opt) + (h->is64 ? kOptImageBase64 : kOptImageBase32);
    if (h->is64) {
        if (!file.Read(h->imageBaseOffset, &h->imageBase)) return false;
    } else {
        uint32_t base32 = 0;
        if (!file.Read(h->imageBaseOffset, &base32)) return false;
        h->imageBase = base32;
    }
    if (!file.Read(opt + kOptEntryPoint, &h->addressOfEntryPoint) ||
        !file.Read(opt + kOptInitializedData, &h->sizeOfInitializedData) ||
        !file.Read(opt + kOptUninitializedData, &h->sizeOfUninitializedData) ||
        !file.Read(opt + kOptSectionAlignment, &h->sectionAlignment) ||
        !file.Read(opt + kOptSizeOfImage, &h->sizeOfImage) || !file.Read(opt + kOptSizeOfHeaders, &h->sizeOfHeaders)) {
        return false;
    }
    // A directory exists only if both the count and the optional header's size cover it.
    for (uint32_t i = 0; i < kDirectoryCount && i < directoryCount; ++i) {
        const uint32_t at = countOffset + 4 + i * 8;
        if (at + 8 > optSize) break;
        if (!file.Read(opt + at, &h->directories[i].rva) || !file.Read(opt + at + 4, &h->directories[i].size)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseHeaders(const ByteView& file, Headers* out) {
    Headers h;
    uint16_t dosMagic = 0;
    uint32_t ntSignature = 0;
    if (!file.Read(0, &dosMagic) || dosMagic != kDosSignature) return false;
    if (!file.Read(0x3C, &h.ntOffset)) return false;
    if (!file.Read(h.ntOffset, &ntSignature) || ntSignature != kNtSignature) return false;

    const uint64_t fileHeader = uint64_t{h.ntOffset} + 4;
    uint16_t optSize = 0;
    if (!file.Read(fileHeader, &h.machine) || !file.Read(fileHeader + 2, &h.numberOfSections) ||
        !file.Read(fileHeader + 16, &optSize)) {
        return false;
    }
    const uint64_t opt = fileHeader + kFileHeaderSize;
    if (!file.Contains(opt, optSize) || !ParseOptionalHeader(file, opt, optSize, &h)) return false;

    const uint64_t sectionTable = opt + optSize;
    const uint64_t tableEnd = sectionTable + uint64_t{h.numberOfSections} * kSectionHeaderSize;
    if (h.sizeOfImage == 0 || h.sizeOfHeaders > h.sizeOfImage || h.sizeOfHeaders > file.size) return false;
    if (tableEnd > h.sizeOfHeaders) return false;  // the mapped headers must hold the section table
    if (h.addressOfEntryPoint >= h.sizeOfImage) return false;
    h.sectionTableOffset = static_cast<uint32_t>(sectionTable);
    *out = h;
    return true;
}

Section ReadSection(const ByteView& file, const Headers& headers, uint32_t index) {
    const uint64_t at = uint64_t{headers.sectionTableOffset} + uint64_t{index} * kSectionHeaderSize;
    Section s;
    file.Read(at + 12, &s.virtualAddress);
    file.Read(at + 16, &s.sizeOfRawData);
    file.Read(at + 20, &s.pointerToRawData);
    file.Read(at + 36, &s.characteristics);
    return s;
}

}  // namespace pe
