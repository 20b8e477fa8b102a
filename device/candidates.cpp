#include "device/candidates.h"

#include <cstring>

CandidateList::CandidateList() {
    for (Candidate& c : items_) c.bitmap.reset(new uint8_t[BitmapFileSize]());
}

bool CandidateList::Append(const uint8_t* bitmap, int32_t key) {
    if (size_ >= kCapacity) return false;
    Candidate& c = items_[size_];
    std::memcpy(c.bitmap.get(), bitmap, BitmapFileSize);
    c.key = key;
    ++size_;
    return true;
}

void CandidateList::Clear() {
    for (int i = 0; i < size_; ++i) items_[i].key = 0;
    size_ = 0;
}
