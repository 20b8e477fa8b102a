// The graph event thread: turns a lost or aborted camera graph into a device
// loss, ending a running capture first and then warning the user.
#include "device/device_k7q.h"
#include "log/log_writer.h"

namespace {

constexpr int32_t kEventComplete = 1;     // EC_COMPLETE
constexpr int32_t kEventUserAbort = 2;    // EC_USERABORT
constexpr int32_t kEventErrorAbort = 3;   // EC_ERRORABORT
constexpr int32_t kEventDeviceLost = 31;  // EC_DEVICE_LOST
// The thread blocks on the queue for this long, then looks at EventWatchRun.
constexpr int32_t kEventWaitMs = 20;
constexpr uint32_t kDoneSliceMs = 100;

}  // namespace

int32_t CDeviceK7Q::GraphEventThreadProc(CDeviceK7Q* device) {
    if (!device) return -1;
    while (device->EventWatchCurrent()) {
        std::shared_ptr<IGraphEvents> events =
            device->m_services.graphEvents ? device->m_services.graphEvents() : nullptr;
        if (!events) return 0;
        int32_t code = 0;
        intptr_t param1 = 0, param2 = 0;
        if (!events->GetEvent(&code, &param1, &param2, kEventWaitMs)) continue;
        DebugTrace("GetEvent:%d,%d,%d\n", code, static_cast<int>(param1), static_cast<int>(param2));
        switch (code) {
            case kEventComplete: DebugTrace("EC_COMPLETE\n"); continue;
            case kEventUserAbort: DebugTrace("EC_USERABORT\n"); break;
            case kEventErrorAbort: DebugTrace("EC_ERRORABORT\n"); break;
            case kEventDeviceLost: DebugTrace("USB已断开连接\n"); break;
            default: continue;
        }
        events.reset();
        device->LossHandling();
        return 0;
    }
    return 0;
}

void CDeviceK7Q::LossHandling() {
    if (CaptureArmed == 1) {
        CaptureArmed = 0;
        // The capture thread ends the capture (kind 2 after a pass) and sets
        // the event. A DevClose meanwhile ends the wait: it stops the thread.
        while (!m_doneEvent.Wait(kDoneSliceMs) && EventWatchCurrent()) {
        }
    }
    DeviceLost = 1;
    m_initialised = 0;
    if (m_services.warning) m_services.warning->Show("设备已断开连接!请重新初始化!", "警告");
}
