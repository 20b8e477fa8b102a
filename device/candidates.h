// The accepted images of one eye during a capture. An eye is analysed only
// while its list is empty, so a list holds at most one candidate. The
// bitmaps are allocated with the list, once: a capture pass allocates nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "device/device_contract.h"

struct Candidate {
    std::unique_ptr<uint8_t[]> bitmap;  // BitmapFileSize bytes, zeroed when the list is made
    int32_t key = 0;                    // from the iris detection
};

class CandidateList {
public:
    static constexpr int kCapacity = 2;
    CandidateList();
    int Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    const Candidate& At(int i) const { return items_[i]; }
    // Appends a copy of bitmap into the next slot's buffer; false when the list is full.
    bool Append(const uint8_t* bitmap, int32_t key);
    void Clear();

private:
    Candidate items_[kCapacity];
    int size_ = 0;
};
