#include "modules/image_judge.h"

#include <cstdio>

#include "device/device_contract.h"
#include "modules/vmcalib.h"
#include "platform/files.h"

CImageJudge::CImageJudge(IModulePlatform& platform, const std::string& temporaryDirectory, int resourceId)
    : temporaryPath_(temporaryDirectory + "tp.bmp") {
    ModuleResource resource;
    if (!platform.FindOwnResource(kModuleResourceType, resourceId, &resource)) return;
    module_ = LoadModuleImage(resource.data, resource.size, platform);
    if (!module_) return;
    // The first missing export ends the binding; the module stays loaded.
    judge_ = reinterpret_cast<JudgeEntry>(GetModuleExport(module_, "Qdr_ImageJudge"));
    if (judge_) score_ = reinterpret_cast<JudgeEntry>(GetModuleExport(module_, "Qdr_ImageJudgeScore"));
    if (score_) value_ = reinterpret_cast<ValueEntry>(GetModuleExport(module_, "Qdr_ImageJudgeValue"));
}

CImageJudge::CImageJudge(ValueEntry value, const std::string& temporaryDirectory)
    : value_(value), temporaryPath_(temporaryDirectory + "tp.bmp") {}

CImageJudge::~CImageJudge() {
    value_ = nullptr;
    UnloadModuleImage(module_);
}

int32_t CImageJudge::JudgeImage(const unsigned char* bitmap, int32_t* value) {
    if (!bitmap || !value) return kImageRejected;
    int32_t result = -1;
    {
        std::lock_guard<std::mutex> hold(fileLock_);
        if (FILE* file = std::fopen(temporaryPath_.c_str(), "wb")) {
            std::fwrite(bitmap, 1, BitmapFileSize, file);
            std::fclose(file);
        } else {
            std::printf("open %s error\n", temporaryPath_.c_str());
        }
        if (value_) result = value_(temporaryPath_.c_str(), value);
        platform::RemoveFile(temporaryPath_);
    }
    if (ForceAccept != 0) return 0;
    return (result == 0 && *value >= kImageJudgeThreshold) ? 0 : kImageRejected;
}
