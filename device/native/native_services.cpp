#include "device/native/native_services.h"

#include "modules/image_judge.h"
#include "modules/judge/judge_entries.h"
#include "modules/vmcalib/vmcalib_entries.h"
#include "platform/paths.h"

DeviceServices NativeDeviceServices(std::function<std::unique_ptr<IEyeCamera>()> createCamera,
                                    std::function<std::shared_ptr<IGraphEvents>()> graphEvents,
                                    CPromptRecorder* prompts, CWarningRecorder* warning) {
    DeviceServices s;
    s.createCamera = std::move(createCamera);
    s.graphEvents = std::move(graphEvents);
    s.irisModule = [] { return IrisEntries{VmCaLib_f0, VmCaLib_f1, VmCaLib_f2, VmCaLib_f3, VmCaLib_f4}; };
    s.judgeImage = [](const unsigned char* bitmap, int32_t* value) {
        static CImageJudge judge(JudgeEntryValue, platform::TempDirectory());
        return judge.JudgeImage(bitmap, value);
    };
    s.locator = &BuiltInEyeLocator();
    s.prompts = prompts;
    s.warning = warning;
    return s;
}
