// The cameras' texts for people, compiled into the ANSI code page 936.
#include "camera/camera_codes.h"
#include "camera/frame_callback.h"

namespace camera {

const char* BusyTraceLine() { return "设备被其他程序占用\n"; }

const char* GrabMessage(GrabOutcome outcome) {
    switch (outcome) {
        case GrabOutcome::Timeout: return "抓图超时";
        case GrabOutcome::WaitFailed: return "抓图错误";
        case GrabOutcome::Closed: return "已经关闭";
        case GrabOutcome::Frame: break;
    }
    return "抓图问题";
}

}  // namespace camera
