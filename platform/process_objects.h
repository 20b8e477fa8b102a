// The one owner of the process-wide service objects (the device object, the
// HID library's use). Each is made on first use, after the objects its
// destructor needs, and the owner destroys them in reverse order of their
// making: what an object needs is still there when it goes. The owner's
// teardown runs when the module is unloaded, before the module's other
// static objects are destroyed (the OCX calls TearDown at its detach), or,
// in a program without such a call, when the owner itself is destroyed.
#pragma once

#include <mutex>
#include <vector>

namespace platform {

class ProcessObjects {
public:
    ProcessObjects() = default;
    ~ProcessObjects() { TearDown(); }
    ProcessObjects(const ProcessObjects&) = delete;
    ProcessObjects& operator=(const ProcessObjects&) = delete;

    // Keeps `object` until the teardown and returns it.
    template <class T>
    T* Adopt(T* object) {
        Keep(object, [](void* p) { delete static_cast<T*>(p); });
        return object;
    }

    // Destroys every object kept, the last adopted first. Later calls do nothing.
    void TearDown();

private:
    struct Entry {
        void* object;
        void (*destroy)(void*);
    };
    void Keep(void* object, void (*destroy)(void*));

    std::mutex lock_;
    std::vector<Entry> entries_;
};

// The process's owner.
ProcessObjects& Process();

}  // namespace platform
