#include "tools/eye_locator/contact_sheet.h"

#include <cstdio>
#include <fstream>

#include "sim/scene/detmath.h"
#include "sim/scene/image_io.h"

namespace eyetools {

namespace {

constexpr int kFactor = 4;
constexpr int kCellW = 960 / kFactor, kCellH = 720 / kFactor;
constexpr int kPerKind[3] = {8, 4, 4};  // well-placed, other visible eye, eye-free
constexpr int kAcross = 4;

void Line(std::vector<uint8_t>& img, int x0, int y0, int x1, int y1, uint8_t value, bool dotted) {
    auto put = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < kCellW && y < kCellH && (!dotted || ((x + y) / 3) % 2 == 0))
            img[static_cast<size_t>(y) * kCellW + x] = value;
    };
    if (y0 == y1)
        for (int x = x0; x <= x1; ++x) put(x, y0);
    else
        for (int y = y0; y <= y1; ++y) put(x0, y);
}

void Rect(std::vector<uint8_t>& img, double l, double t, double r, double b, uint8_t value, bool dotted) {
    const int x0 = static_cast<int>(l / kFactor), y0 = static_cast<int>(t / kFactor);
    const int x1 = static_cast<int>(r / kFactor), y1 = static_cast<int>(b / kFactor);
    for (int d = 0; d < (dotted ? 1 : 2); ++d) {
        Line(img, x0 - d, y0 - d, x1 + d, y0 - d, value, dotted);
        Line(img, x0 - d, y1 + d, x1 + d, y1 + d, value, dotted);
        Line(img, x0 - d, y0 - d, x0 - d, y1 + d, value, dotted);
        Line(img, x1 + d, y0 - d, x1 + d, y1 + d, value, dotted);
    }
}

}  // namespace

SheetBuilder::SheetBuilder(uint64_t seed) : state_(seed) {}

eyetools::Observer SheetBuilder::Observer() {
    return [this](const k7qsim::GroundTruth& t, const uint8_t* f, int32_t eyes, const int32_t* r) { Offer(t, f, eyes, r); };
}

// Reservoir sampling keeps an even spread over the whole run.
void SheetBuilder::Offer(const k7qsim::GroundTruth& truth, const uint8_t* frame, int32_t eyes, const int32_t* rect) {
    const int kind = WellPlaced(truth) ? 0 : (truth.eyeVisible ? 1 : 2);
    const int64_t n = ++seen_[kind];
    state_ = k7qsim::Mix64(state_ + 0x9e3779b97f4a7c15ull);
    int64_t slot = static_cast<int64_t>(cells_[kind].size());
    if (slot >= kPerKind[kind]) {
        slot = static_cast<int64_t>(state_ % static_cast<uint64_t>(n));
        if (slot >= kPerKind[kind]) return;
    }
    std::vector<uint8_t> img = k7qsim::Downsample(frame, 960, 720, kFactor);
    if (truth.eyeVisible) Rect(img, truth.eyeBoxLeft, truth.eyeBoxTop, truth.eyeBoxRight, truth.eyeBoxBottom, 255, true);
    for (int e = 0; e < eyes && e < 2; ++e)
        Rect(img, rect[4 * e], rect[4 * e + 1], rect[4 * e + 2], rect[4 * e + 3], e == 0 ? 255 : 0, false);
    char caption[200];
    const char* names[3] = {"well-placed eye", "eye outside the band", "no visible eye"};
    const double iou = eyes >= 1 && truth.eyeVisible ? IoU(RectBox(rect), TruthBox(truth)) : 0;
    std::snprintf(caption, sizeof caption, "%s; result %d; IoU %.2f; iris fraction %.2f, defocus %.1f, motion %.0f px",
                  names[kind], eyes, iou, truth.irisVisibleFraction, truth.defocusSigma, truth.motionBlurLength);
    if (slot == static_cast<int64_t>(cells_[kind].size())) {
        cells_[kind].push_back(std::move(img));
        captions_[kind].push_back(caption);
    } else {
        cells_[kind][slot] = std::move(img);
        captions_[kind][slot] = caption;
    }
}

bool SheetBuilder::Write(const std::string& path) const {
    std::vector<const std::vector<uint8_t>*> cells;
    std::vector<std::string> captions;
    for (int k = 0; k < 3; ++k)
        for (size_t i = 0; i < cells_[k].size(); ++i) {
            cells.push_back(&cells_[k][i]);
            captions.push_back(captions_[k][i]);
        }
    const int rows = static_cast<int>((cells.size() + kAcross - 1) / kAcross);
    const int w = kAcross * kCellW + (kAcross - 1) * 4, h = rows * kCellH + (rows > 0 ? rows - 1 : 0) * 4;
    if (rows == 0) return false;
    std::vector<uint8_t> sheet(static_cast<size_t>(w) * h, 0);
    for (size_t i = 0; i < cells.size(); ++i) {
        const int ox = static_cast<int>(i % kAcross) * (kCellW + 4), oy = static_cast<int>(i / kAcross) * (kCellH + 4);
        for (int y = 0; y < kCellH; ++y)
            for (int x = 0; x < kCellW; ++x) sheet[static_cast<size_t>(oy + y) * w + ox + x] = (*cells[i])[y * kCellW + x];
    }
    const std::vector<uint8_t> png = k7qsim::EncodePng(sheet.data(), w, h);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    std::string stem = path.substr(0, path.find_last_of('.'));
    std::ofstream text(stem + ".txt", std::ios::trunc);
    for (size_t i = 0; i < captions.size(); ++i)
        text << "row " << i / kAcross + 1 << ", column " << i % kAcross + 1 << ": " << captions[i] << "\n";
    return static_cast<bool>(out) && static_cast<bool>(text);
}

}  // namespace eyetools
