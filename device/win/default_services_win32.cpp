// The device object's services in the shipped control: DirectShow cameras,
// the embedded algorithm modules, PlaySound from the module's own WAVE
// resources and a modal MessageBoxA.
#include <windows.h>
#include <mmsystem.h>

#include "device/device_services.h"
#include "modules/image_judge.h"
#include "platform/event.h"

namespace {

// The module (OCX or program) this code is linked into: the prompts are its resources.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &module);
    return module;
}

class CPromptPlayerWin32 : public IPromptPlayer {
public:
    void Play(int32_t id) override {
        PlaySoundA(MAKEINTRESOURCEA(id), OwnModule(), SND_RESOURCE | SND_ASYNC | SND_NODEFAULT | SND_NOWAIT);
    }
    void StopAll() override { PlaySoundA(nullptr, nullptr, 0); }
};

class CWarningBoxWin32 : public IWarningBox {
public:
    void Show(const char* text, const char* caption) override {
        MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONWARNING);
    }
};

}  // namespace

DeviceServices DefaultDeviceServices(ResultRoutine hostRoutine) {
    // Never destroyed: the process's device object, torn down at module
    // detach, stops its prompts after the statics are gone.
    static CPromptPlayerWin32& prompts = *new CPromptPlayerWin32;
    static CWarningBoxWin32& warning = *new CWarningBoxWin32;
    DeviceServices s;
    s.createCamera = [] { return CreateEyeCamera(); };
    s.graphEvents = [] { return CurrentGraphEvents(); };
    s.irisModule = [] { return EntriesOf(GetVmCaLib()); };
    s.judgeImage = [](const unsigned char* bitmap, int32_t* value) -> int32_t {
        CImageJudge* judge = CImageJudge::Instance();
        return judge ? judge->JudgeImage(bitmap, value) : kImageRejected;
    };
    s.locator = &BuiltInEyeLocator();
    s.prompts = &prompts;
    s.warning = &warning;
    s.waitOnControlThread = [](platform::ManualResetEvent& event, uint32_t timeoutMs) {
        return event.WaitLettingSentMessagesIn(timeoutMs);
    };
    s.resultRoutine = hostRoutine;
    return s;
}
