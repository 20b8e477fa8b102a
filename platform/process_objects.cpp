#include "platform/process_objects.h"

namespace platform {

void ProcessObjects::Keep(void* object, void (*destroy)(void*)) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back({object, destroy});
}

void ProcessObjects::TearDown() {
    for (;;) {
        Entry last;
        {
            // Not held while an object goes: its destructor may reach the owner.
            std::lock_guard<std::mutex> guard(lock_);
            if (entries_.empty()) return;
            last = entries_.back();
            entries_.pop_back();
        }
        last.destroy(last.object);
    }
}

ProcessObjects& Process() {
    static ProcessObjects owner;
    return owner;
}

}  // namespace platform
