#include "sim/scene/tool/contact_sheet.h"

#include <cstdio>
#include <functional>

#include "sim/scene/image_io.h"
#include "sim/scene/scene_render.h"

namespace k7qsim {
namespace {

struct Cell {
    std::string caption;
    std::function<GroundTruth(SceneRenderer&, uint8_t*)> render;
};

Cell EyeCell(const std::string& caption, EyeParams p, int backlight = 230) {
    return {caption, [p, backlight](SceneRenderer& r, uint8_t* out) {
                CameraControls c;
                c.backlight = backlight;
                return r.Render(p, c, out);
            }};
}

}  // namespace

ContactSheet BuildContactSheet(uint64_t seed) {
    std::vector<Cell> cells;
    EyeParams base;
    base.subjectSeed = seed;
    auto with = [&](auto change) { EyeParams p = base; change(p); return p; };
    const double diameters[4] = {150, 190, 225, 260};
    for (double d : diameters)
        cells.push_back(EyeCell("iris " + std::to_string(static_cast<int>(d)) + " px",
                            with([&](EyeParams& p) { p.irisRadius = d / 2; p.subjectSeed = seed + static_cast<uint64_t>(d); })));
    const double pupils[4] = {0.2, 0.35, 0.5, 0.7};
    for (int i = 0; i < 4; ++i)
        cells.push_back(EyeCell("pupil " + std::to_string(static_cast<int>(pupils[i] * 100)) + "%, right eye",
                            with([&](EyeParams& p) { p.pupilRatio = pupils[i]; p.eye = k7qsim::Eye::Right; p.subjectSeed = seed + 10 + i; })));
    const double openings[4] = {0.0, 0.3, 0.6, 1.0};
    for (int i = 0; i < 4; ++i)
        cells.push_back(EyeCell("opening " + std::to_string(static_cast<int>(openings[i] * 100)) + "%",
                            with([&](EyeParams& p) { p.opening = openings[i]; p.gazeX = 0.1 * (i - 1.5); })));
    cells.push_back(EyeCell("backlight 150", base, 150));
    cells.push_back(EyeCell("backlight 300", base, 300));
    cells.push_back(EyeCell("defocus 4 px", with([](EyeParams& p) { p.defocusSigma = 4; })));
    cells.push_back(EyeCell("motion 25 px at 30 deg", with([](EyeParams& p) { p.motionLength = 25; p.motionAngleDeg = 30; })));
    cells.push_back(EyeCell("glasses, tilt 12 deg", with([](EyeParams& p) { p.glareCount = 2; p.tiltDeg = 12; p.frameSeed = 5; })));
    cells.push_back(EyeCell("above the band, gaze", with([](EyeParams& p) { p.centerY = 200; p.gazeX = 0.35; p.gazeY = -0.15; })));
    cells.push_back(EyeCell("cut by the edge", with([](EyeParams& p) { p.centerX = 110; p.irisRadius = 120; })));
    for (NegativeKind k : {NegativeKind::DeviceInterior}) {
        cells.push_back({std::string("negative: ") + NegativeName(k), [k, seed](SceneRenderer& r, uint8_t* out) {
                             return r.RenderNegative(k, seed + 3, CameraControls{230, 0}, out);
                         }});
    }
    ContactSheet sheet;
    const int cols = 4, cw = kFrameWidth / 4, ch = kFrameHeight / 4;
    const int rows = static_cast<int>((cells.size() + cols - 1) / cols);
    sheet.width = cols * cw;
    sheet.height = rows * ch;
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height, 0);
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes);
    for (size_t i = 0; i < cells.size(); ++i) {
        cells[i].render(renderer, frame.data());
        const std::vector<uint8_t> thumb = Downsample(frame.data(), kFrameWidth, kFrameHeight, 4);
        const int cx = static_cast<int>(i % cols) * cw, cy = static_cast<int>(i / cols) * ch;
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
                const bool border = x == 0 || y == 0;
                sheet.pixels[static_cast<size_t>(cy + y) * sheet.width + cx + x] =
                    border ? 255 : thumb[static_cast<size_t>(y) * cw + x];
            }
        sheet.captions.push_back(cells[i].caption);
    }
    return sheet;
}

}  // namespace k7qsim
