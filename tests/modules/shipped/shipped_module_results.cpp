#include "tests/modules/shipped/shipped_module_results.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <algorithm>
#include <cmath>

#include "modules/module_loader.h"
#include "modules/vmcalib.h"
#include "modules/vmcalib/vmcalib_records.h"
#include "sim/scene/image_io.h"
#include "sim/scene/scene_render.h"
#include "tests/vmcalib/eye_frames.h"

namespace shipped {
namespace {

using ValueEntry = int32_t (*)(const char* path, int32_t* value);

uint32_t Fnv1a(const void* data, size_t size) {
    uint32_t h = 2166136261u;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

// Both modules loaded, with the entries the control calls.
struct Modules {
    IModulePlatform& platform;
    ModuleImage* vmcalib = nullptr;
    ModuleImage* judge = nullptr;
    CVmCaLib::InitEntry f1 = nullptr;
    CVmCaLib::SettingsEntry f3 = nullptr;
    CVmCaLib::DetectEntry f4 = nullptr;
    ValueEntry value = nullptr;

    explicit Modules(IModulePlatform& p) : platform(p) {}
    ~Modules() {
        UnloadModuleImage(vmcalib);
        UnloadModuleImage(judge);
    }
    bool Load(const std::string& vmcalibImage, const std::string& judgeImage, std::string* error) {
        vmcalib = LoadModuleImage(vmcalibImage.data(), vmcalibImage.size(), platform);
        judge = LoadModuleImage(judgeImage.data(), judgeImage.size(), platform);
        if (!vmcalib || !judge) {
            *error = vmcalib ? "the image-judge module does not load" : "the iris module does not load";
            return false;
        }
        f1 = reinterpret_cast<CVmCaLib::InitEntry>(GetModuleExport(vmcalib, "f1"));
        f3 = reinterpret_cast<CVmCaLib::SettingsEntry>(GetModuleExport(vmcalib, "f3"));
        f4 = reinterpret_cast<CVmCaLib::DetectEntry>(GetModuleExport(vmcalib, "f4"));
        value = reinterpret_cast<ValueEntry>(GetModuleExport(judge, "Qdr_ImageJudgeValue"));
        if (!f1 || !f3 || !f4 || !value) {
            *error = "an entry is missing";
            return false;
        }
        // Device initialisation's calls, in its order.
        if (f1("", 0, 0) != 1) {
            *error = "f1 refused initialisation";
            return false;
        }
        f3(0, 2, 50, 50, 60, 60, 50);
        f3(1, 2, 60, 65, 70, 60, 50);
        return true;
    }
};

// f4 on one 720 x 720 window: its result, words 17 to 30 and digests of the two areas.
std::string DetectLine(const Modules& m, const uint8_t* window) {
    static char text[kVmTextBytes];
    static uint8_t iris[kVmIrisOutBytes];
    std::memset(text, 0, sizeof text);
    std::memset(iris, 0, sizeof iris);
    const int32_t roi[4] = {39, 119, 639, 479};
    VmCaWord input[kVmInWords] = {kVmInKindGray720, 0, reinterpret_cast<VmCaWord>(window), 0, 0,
                                  reinterpret_cast<VmCaWord>(roi), 0};
    VmCaWord output[kVmOutWords] = {};
    output[kVmOutText] = reinterpret_cast<VmCaWord>(text);
    output[kVmOutIris] = reinterpret_cast<VmCaWord>(iris);
    const int32_t result = m.f4(0, input, output);
    std::string line = "f4 " + std::to_string(result) + " words";
    for (int w = kVmOutKey; w <= kVmOutResult; ++w) line += " " + std::to_string(static_cast<int64_t>(output[w]));
    char digests[64];
    std::snprintf(digests, sizeof digests, " text %08" PRIx32 " iris %08" PRIx32, Fnv1a(text, sizeof text),
                  Fnv1a(iris, sizeof iris));
    return line + digests;
}

std::string JudgeLine(const Modules& m, const std::vector<uint8_t>& bitmap, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return "judge cannot write " + path;
    std::fwrite(bitmap.data(), 1, bitmap.size(), file);
    std::fclose(file);
    int32_t score = -1;
    const int32_t result = m.value(path.c_str(), &score);
    std::remove(path.c_str());
    return "judge " + std::to_string(result) + " score " + std::to_string(score);
}

// Rendering dominates the run under qemu, so each rendered scene yields
// kVariants inputs for each module: the eye window cut at other places (and
// once with its iris disc dimmed, as the pipeline's second f4 call sees it),
// and the judge's 640 x 480 view cut around the iris at other offsets. Cuts
// move away from the frame edge the eye is nearer to, so that no two are alike.
constexpr int kVariants = 4;
constexpr int kWindowShift[kVariants] = {0, 40, 80, 0};
constexpr int kViewShiftX[kVariants] = {0, 50, 25, 0};
constexpr int kViewShiftY[kVariants] = {0, 0, 30, 40};

int AwayFromEdge(double at, int extent, int shift) { return at < extent / 2 ? shift : -shift; }

// The corner of a cut of size `cut` centred on `at`, inside the frame, then moved by shift (and kept inside).
int Corner(double at, int cut, int extent, int shift) {
    const int centred = std::clamp(static_cast<int>(std::lround(at)) - cut / 2, 0, extent - cut);
    return std::clamp(centred + AwayFromEdge(at, extent, shift), 0, extent - cut);
}

struct Inputs {
    std::vector<uint8_t> frame = std::vector<uint8_t>(k7qsim::kFrameBytes);
    std::vector<uint8_t> cut = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
    std::vector<uint8_t> window = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
    std::vector<uint8_t> view = std::vector<uint8_t>(640 * 480);
};

void CutWindow(const k7qsim::GroundTruth& t, int variant, Inputs* in) {
    constexpr int side = eyeframes::kSide;
    const int x0 = Corner(t.irisX, side, k7qsim::kFrameWidth, kWindowShift[variant]);
    for (int y = 0; y < side; ++y) std::memcpy(&in->cut[y * side], &in->frame[y * k7qsim::kFrameWidth + x0], side);
    eyeframes::Sharpen(in->cut.data(), in->window.data());
    if (variant == kVariants - 1) {
        in->cut = in->window;
        eyeframes::DimIrisDisc(in->cut.data(), in->window.data(), static_cast<int>(std::lround(t.irisX)) - x0,
                               static_cast<int>(std::lround(t.irisY)), static_cast<int>(std::lround(t.irisRadius)));
    }
}

std::vector<uint8_t> CutView(const k7qsim::GroundTruth& t, int variant, Inputs* in) {
    const int x0 = Corner(t.irisX, 640, k7qsim::kFrameWidth, kViewShiftX[variant]);
    const int y0 = Corner(t.irisY, 480, k7qsim::kFrameHeight, kViewShiftY[variant]);
    for (int y = 0; y < 480; ++y) std::memcpy(&in->view[y * 640], &in->frame[(y0 + y) * k7qsim::kFrameWidth + x0], 640);
    return k7qsim::EncodeBmp(in->view.data(), 640, 480);
}

}  // namespace

std::vector<std::string> ModuleResults(IModulePlatform& platform, const std::string& vmcalibImage,
                                       const std::string& judgeImage, const std::string& temporaryDirectory,
                                       std::string* error) {
    Modules modules(platform);
    if (!modules.Load(vmcalibImage, judgeImage, error)) return {};
    k7qsim::SceneRenderer renderer;
    Inputs inputs;
    const std::string path = temporaryDirectory + "tp.bmp";
    std::vector<std::string> lines;
    const int kinds = static_cast<int>(eyeframes::Kind::Count);
    for (int scene = 0; scene * kVariants < kFrames; ++scene) {
        const auto kind = static_cast<eyeframes::Kind>(scene % kinds);
        k7qsim::CameraControls controls;
        const k7qsim::EyeParams params = eyeframes::ParamsFor(kind, 9000 + scene, &controls);
        const k7qsim::GroundTruth truth = renderer.Render(params, controls, inputs.frame.data());
        for (int variant = 0; variant < kVariants; ++variant) {
            CutWindow(truth, variant, &inputs);
            char head[48];
            std::snprintf(head, sizeof head, "%02d %-11s ", scene * kVariants + variant, eyeframes::KindName(kind));
            lines.push_back(head + DetectLine(modules, inputs.window.data()) + " | " +
                            JudgeLine(modules, CutView(truth, variant, &inputs), path));
        }
    }
    return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    return static_cast<bool>(out);
}

}  // namespace shipped
