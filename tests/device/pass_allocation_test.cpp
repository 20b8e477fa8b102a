// Heap use of the capture passes: after the device is open, a pass allocates
// nothing but an accepted candidate's bitmap. Counts every operator new made
// on the capture thread while a test has counting switched on.
#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "tests/device/device_test_fixture.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<std::thread::id> countedThread{};
}  // namespace

void* operator new(size_t size) {
    if (counting && std::this_thread::get_id() == countedThread.load()) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

TEST_F(DeviceEngineTest, AHundredPassesWithoutAnAcceptedEyeAllocateNothing) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;  // no command 53, no candidate
    fakes::Current().eye[fakes::kRight].detectResult = -1;
    device_->SetVoiceEnabled(0);
    fakes::Current().onGrab = [this](int eye, int) {
        if (eye != fakes::kRight) return;  // every pass grabs the right camera first
        const int n = ++calls_;
        if (n == 2) {  // the first pass is over: count from here
            countedThread = std::this_thread::get_id();
            counting = true;
        }
        if (n == 102) {
            counting = false;
            CaptureArmed = 0;
        }
    };
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, 10000));
    EXPECT_EQ(fakes::Results()[0].outcome, kOutcomeStopped);
    EXPECT_GE(fakes::Current().eye[fakes::kLeft].detections, 100);
    EXPECT_EQ(allocations.load(), 0);
}

// The list's buffers are made with it: a day of captures does not cut the
// heap into pieces with a 300 KB allocation per accepted image.
TEST(CandidateListTest, AcceptedImagesAreCopiedWithoutAllocatingAndHeldAsGiven) {
    CandidateList list;
    std::vector<uint8_t> bitmap(BitmapFileSize, 7);
    countedThread = std::this_thread::get_id();
    allocations = 0;
    counting = true;
    ASSERT_TRUE(list.Append(bitmap.data(), 42));
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(list.Size(), 1);
    EXPECT_EQ(list.At(0).key, 42);
    EXPECT_EQ(list.At(0).bitmap[BitmapFileSize - 1], 7);
    list.Clear();
    EXPECT_TRUE(list.Empty());
}

}  // namespace
