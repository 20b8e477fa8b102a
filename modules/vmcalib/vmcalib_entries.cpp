// The entries. The module keeps one state: its working memory (a fixed
// buffer inside the image, so no heap is needed), whether f1 has run, and
// the two eyes' settings from f3.
#include "modules/vmcalib/vmcalib_entries.h"

#include "modules/vmcalib/vmcalib_detect.h"

namespace {

constexpr size_t kWorkspaceBytes = 720 * 721 + 180 * 180 + 16 + 181 * 181 * 4;

struct EyeSettings {
    int32_t values[5];
    bool set;
};

struct ModuleState {
    bool initialised;
    EyeSettings eyes[2];
    alignas(16) uint8_t workspace[kWorkspaceBytes];
};

ModuleState g_state;

}  // namespace

extern "C" int32_t VmCaLib_f0(char* text, int32_t size) {
    if (!text || size <= 0) return kVmBadArguments;
    const char* version = VMCALIB_VERSION;
    int32_t i = 0;
    for (; i + 1 < size && version[i]; ++i) text[i] = version[i];
    text[i] = 0;
    return 1;
}

extern "C" int32_t VmCaLib_f1(const char*, int32_t, int32_t) {
    // The text (a licence or path in other modules) carries nothing for us.
    if (IrisWorkspaceBytes(720, 720) > kWorkspaceBytes) return kVmBadArguments;
    g_state.initialised = true;
    g_state.eyes[0].set = g_state.eyes[1].set = false;
    return 1;
}

extern "C" int32_t VmCaLib_f2(void) {
    g_state.initialised = false;
    return 1;
}

// Settings of one eye (0 left, 1 right), mode 2, and five levels 0..100.
// They are kept and reported but do not change the detection: its
// thresholds are fixed (docs/vmcalib.md).
extern "C" int32_t VmCaLib_f3(int32_t eye, int32_t mode, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
    if (eye < 0 || eye > 1 || mode != 2) return kVmBadArguments;
    const int32_t values[5] = {a, b, c, d, e};
    for (int i = 0; i < 5; ++i) {
        if (values[i] < 0 || values[i] > 100) return kVmBadArguments;
        g_state.eyes[eye].values[i] = values[i];
    }
    g_state.eyes[eye].set = true;
    return 1;
}

extern "C" int32_t VmCaLib_f4(int32_t kind, void* input, void* output) {
    if (kind != 0 || !g_state.initialised) return kVmBadArguments;
    return vmcalib::Detect(static_cast<const VmCaWord*>(input), static_cast<VmCaWord*>(output), g_state.workspace,
                           sizeof g_state.workspace);
}

extern "C" int32_t VmCaLib_f5(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f6(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f7(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f8(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f9(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f10(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f11(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f12(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f13(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f14(void) { return kVmNotSupported; }
extern "C" int32_t VmCaLib_f15(void) { return kVmNotSupported; }
