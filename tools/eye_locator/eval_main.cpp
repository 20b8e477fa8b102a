// eye-eval: measures the eye locator (the committed tables) on timeline frames
// of held-out scene seeds, and draws a contact sheet of its detections.
//   eye-eval [--first A] [--last B] [--step MS] [--json] [--sheet out.png] [--false-detections] [--misses]
// --false-detections lists what the scene shows where an eye-free frame got a detection;
// --misses lists the well-placed eyes that were not found.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "modules/eye_locator.h"
#include "tools/eye_locator/contact_sheet.h"
#include "tools/eye_locator/eye_evaluation.h"

int main(int argc, char** argv) {
    eyetools::FrameRange range{1, 12, 200};
    bool json = false, listFalse = false, listMisses = false;
    std::string sheet;
    for (int i = 1; i < argc; ++i) {
        const std::string k = argv[i];
        const bool hasValue = i + 1 < argc;
        if (k == "--json") json = true;
        else if (k == "--false-detections") listFalse = true;
        else if (k == "--misses") listMisses = true;
        else if (k == "--first" && hasValue) range.firstSeed = std::strtoull(argv[++i], nullptr, 0);
        else if (k == "--last" && hasValue) range.lastSeed = std::strtoull(argv[++i], nullptr, 0);
        else if (k == "--step" && hasValue) range.stepMs = std::atof(argv[++i]);
        else if (k == "--sheet" && hasValue) sheet = argv[++i];
        else {
            std::fprintf(stderr, "usage: eye-eval [--first A] [--last B] [--step MS] [--json] [--sheet out.png] [--false-detections] [--misses]\n");
            return 2;
        }
    }
    if (EyeLocatorInit(960, 720) != 0) return 1;
    eyetools::SheetBuilder builder(range.firstSeed);
    const eyetools::Observer drawSheet = sheet.empty() ? eyetools::Observer() : builder.Observer();
    const eyetools::Figures f = eyetools::Evaluate(
        range, eyetools::EyeLocatorDetector(),
        [&](const k7qsim::GroundTruth& t, const uint8_t* frame, int32_t eyes, const int32_t* rect) {
            if (listFalse && !t.eyeVisible && eyes > 0)
                std::printf("false: person %d, lid opening %.2f, iris visible %.2f, iris at (%.0f, %.0f) r %.0f\n",
                            t.personPresent, t.eyelidOpening, t.irisVisibleFraction, t.irisX, t.irisY, t.irisRadius);
            const double iou = eyetools::ReportedIoU(eyes, rect, t);
            if (listMisses && eyetools::WellPlaced(t) && !eyetools::Found(eyes, iou))
                std::printf("miss: result %d, IoU %.2f, lid opening %.2f, iris visible %.2f, iris at (%.0f, %.0f) r %.0f, "
                            "defocus %.1f\n", eyes, iou, t.eyelidOpening, t.irisVisibleFraction, t.irisX, t.irisY,
                            t.irisRadius, t.defocusSigma);
            if (drawSheet) drawSheet(t, frame, eyes, rect);
        });
    EyeLocatorRelease();
    std::printf("%s\n", json ? eyetools::FiguresJson(f, range).c_str() : eyetools::FiguresText(f).c_str());
    if (!sheet.empty() && !builder.Write(sheet)) return 1;
    return 0;
}
