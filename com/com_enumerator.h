// One snapshot enumerator for the IEnumXxx interfaces (pins, media types,
// connection points, connections). The enumerator takes its own hold of each
// item; a Policy says how:
//   static void Hold(Item&)                   take the enumerator's own hold
//   static void Drop(Item&)                   release it
//   static HRESULT HandOut(const Item&, Out*) give the caller its own copy
#pragma once

#include <new>
#include <utility>
#include <vector>

#include "com/com_object.h"

namespace com {

template <class IEnum, class Out, class Policy, class Item = Out>
class ComEnumerator final : public ComObject<IEnum> {
public:
    ComEnumerator(const IID& iid, std::vector<Item> items, size_t position = 0)
        : iid_(iid), items_(std::move(items)), position_(position) {
        for (Item& item : items_) Policy::Hold(item);
    }

    // Creates an enumerator over `items` (the caller keeps its own holds).
    static HRESULT Create(const IID& iid, std::vector<Item> items, IEnum** out) {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ComEnumerator(iid, std::move(items));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        return QueryOne<IEnum>(this, riid, iid_, out);
    }
    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            const HRESULT hr = Policy::HandOut(items_[position_], &out[n]);
            if (FAILED(hr)) {
                if (fetched) *fetched = n;
                return n == 0 ? hr : S_FALSE;
            }
            ++position_;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = items_.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        *out = new (std::nothrow) ComEnumerator(iid_, items_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ComEnumerator() override {
        for (Item& item : items_) Policy::Drop(item);
    }

    const IID& iid_;
    std::vector<Item> items_;
    size_t position_;
};

// Items that are interface pointers: held and handed out by AddRef.
template <class I>
struct InterfaceItems {
    static void Hold(I*& item) { item->AddRef(); }
    static void Drop(I*& item) { item->Release(); }
    static HRESULT HandOut(I* const& item, I** out) {
        *out = item;
        item->AddRef();
        return S_OK;
    }
};

}  // namespace com
