// The image-judge module (resource "MODE" 216): scores a finished eye bitmap.
// The module reads its input from a file, so each judgement writes the bitmap
// to "tp.bmp" in the temporary directory, asks the module and deletes the file.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "modules/module_loader.h"

constexpr int kImageJudgeResourceId = 216;
constexpr int32_t kImageJudgeThreshold = 60;
constexpr int32_t kImageRejected = -3;

class CImageJudge {
public:
    using JudgeEntry = int32_t (*)();                                   // Qdr_ImageJudge, never called
    using ValueEntry = int32_t (*)(const char* path, int32_t* value);  // Qdr_ImageJudgeValue

    // The process's judge, created on the first call (thread-safe).
    static CImageJudge* Instance();

    CImageJudge(IModulePlatform& platform, const std::string& temporaryDirectory,
                int resourceId = kImageJudgeResourceId);
    // Binds a value entry linked into this program (the module's native
    // library build), with no image to load: the same judgement natively.
    CImageJudge(ValueEntry value, const std::string& temporaryDirectory);
    ~CImageJudge();
    CImageJudge(const CImageJudge&) = delete;
    CImageJudge& operator=(const CImageJudge&) = delete;

    // bitmap: BitmapFileSize bytes; value receives the module's score. 0 when
    // the image is accepted (or ForceAccept is set), -3 when it is rejected.
    int32_t JudgeImage(const unsigned char* bitmap, int32_t* value);

    bool Loaded() const { return module_ != nullptr; }
    const std::string& TemporaryPath() const { return temporaryPath_; }

private:
    ModuleImage* module_ = nullptr;
    JudgeEntry judge_ = nullptr;
    JudgeEntry score_ = nullptr;
    ValueEntry value_ = nullptr;
    const std::string temporaryPath_;
    // Every judgement uses the one file name: judgements take turns.
    std::mutex fileLock_;
};
