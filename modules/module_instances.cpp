// The process-wide bindings of the embedded modules, each created on first use
// from the control's own resources and destroyed when the module is unloaded.
#include "modules/image_judge.h"
#include "modules/module_platform.h"
#include "modules/vmcalib.h"
#include "platform/paths.h"

CVmCaLib& GetVmCaLib() {
    static CVmCaLib binding(DefaultModulePlatform());
    return binding;
}

CImageJudge* CImageJudge::Instance() {
    static CImageJudge judge(DefaultModulePlatform(), platform::TempDirectory());
    return &judge;
}
