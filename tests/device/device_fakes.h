// Scripted stand-ins for what the device object drives: eye cameras whose
// frames carry their eye and number, an eye locator and an iris entry whose
// answers a test scripts per eye, an image judge, a graph event queue, and a
// recorder of result calls. Frames and working images carry a marker in
// their first byte (the eye) so the scripted entries know what they see.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "device/device_k7q.h"
#include "device/testing/recorders.h"

namespace fakes {

constexpr uint8_t kLeftMark = 0xA1;
constexpr uint8_t kRightMark = 0xB2;
enum Eye { kLeft = 0, kRight = 1 };

// Per-eye script, read by the fakes on the capture thread.
struct EyeScript {
    std::atomic<int32_t> centreX{480}, centreY{360};  // the located eye's centre in the frame
    std::atomic<int32_t> locatorResult{1};             // 1 one eye
    std::atomic<int32_t> detectResult{1};              // f4's answer
    std::atomic<int32_t> judgeScore{85};
    std::atomic<int32_t> judgeResult{0};
    std::atomic<bool> cameraDelivers{true};
    std::atomic<int> grabs{0}, detections{0}, judgements{0};
};

struct Script {
    EyeScript eye[2];
    std::atomic<int32_t> f1Result{1};
    std::atomic<int> f0Calls{0}, f1Calls{0}, f2Calls{0}, f3Calls{0};
    std::atomic<int32_t> openResult[2] = {{1}, {1}};  // OpenCamera's answer per eye
    std::atomic<int> opens{0}, closes{0}, liveCameras{0};
    std::atomic<int32_t> backlight[2] = {{0}, {0}};   // last level set per eye
    // Runs on the capture thread at every grab (eye, grab number).
    std::function<void(int, int)> onGrab;
    // Runs inside f4; lets a test hold the capture thread in a pass.
    std::function<void()> onDetect;
    // Time runs this many times faster for the capture budget.
    std::atomic<uint32_t> clockSpeed{1};
    void Reset();
};
Script& Current();

// The graph event queue the cameras publish.
class EventQueue : public IGraphEvents {
public:
    void Push(int32_t code);
    bool GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t timeoutMs) override;

private:
    std::mutex lock_;
    std::condition_variable pushed_;
    std::deque<int32_t> codes_;
};
std::shared_ptr<EventQueue> Events();

// One result call as the device made it.
struct Result {
    int32_t outcome, eyeType, leftScore, rightScore, length;
    uint32_t tick;  // when it arrived
    std::vector<uint8_t> left, right;
};
std::vector<Result> Results();
void ClearResults();
// Waits until at least n results arrived.
bool WaitForResults(size_t n, int timeoutMs);

CPromptRecorder& Prompts();
CWarningRecorder& Warnings();

// Services wired to the fakes above.
DeviceServices Services();

}  // namespace fakes
