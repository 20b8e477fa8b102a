// iris-eval: the eye analysis on real eye photographs with known circles.
//   iris-eval DIR [--sheet FILE.png] [--degraded] [--check] [--floors]
// DIR holds truth.csv and images/ (see the real-eye folder's README). Every
// photograph is placed into a 720 x 720 working image and run through the
// capture pipeline's chain; figures are printed per camera group. --check
// exits 1 when a goal of the eye analysis is missed on the folder, --floors
// when a figure falls below what the analysis has already reached.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "device/imaging/crop.h"
#include "tools/iris_eval/degrade.h"
#include "tools/iris_eval/eye_chain.h"
#include "tools/iris_eval/eval_report.h"
#include "tools/iris_eval/real_eye_set.h"

using namespace iriseval;

namespace {

struct Options {
    std::string folder, sheet;
    bool degraded = false, check = false, floors = false;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sheet" && i + 1 < argc) o->sheet = argv[++i];
        else if (a == "--degraded") o->degraded = true;
        else if (a == "--check") o->check = true;
        else if (a == "--floors") o->floors = true;
        else if (!a.empty() && a[0] != '-' && o->folder.empty()) o->folder = a;
        else return false;
    }
    return !o->folder.empty();
}

// Errors of one found circle against the truth, in working-image pixels.
double CircleError(const TruthCircle& t, int ox, int oy, double x, double y, double r) {
    return std::max(std::hypot(x - (t.x + ox), y - (t.y + oy)), std::abs(r - t.r));
}

// The Hough peer's iris radius range for a camera group: its photographs'
// iris radii widened by 15 %, or the segmentation's own range without truth.
struct RadiusRange {
    int min = 50, max = 160;
};
std::map<std::string, RadiusRange> PeerRanges(const std::vector<RealEye>& eyes) {
    std::map<std::string, RadiusRange> ranges;
    for (const RealEye& e : eyes) {
        if (!e.iris.known) continue;
        const RadiusRange own{static_cast<int>(e.iris.r * 0.85), static_cast<int>(e.iris.r * 1.15 + 1)};
        const auto [it, added] = ranges.emplace(e.group, own);
        if (added) continue;
        it->second.min = std::min(it->second.min, own.min);
        it->second.max = std::max(it->second.max, own.max);
    }
    return ranges;
}

void RunHoughPeer(const RealEye& eye, const RadiusRange& range, EyeResult* res) {
    res->hough = HoughPeer(res->placed.data(), range.min, range.max);
    const PeerCircles& h = res->hough;
    if (eye.iris.known && h.found) res->houghIrisError = CircleError(eye.iris, res->offsetX, res->offsetY, h.irisX, h.irisY, h.irisR);
    if (eye.pupil.known && h.pupilR > 0)
        res->houghPupilError = CircleError(eye.pupil, res->offsetX, res->offsetY, h.pupilX, h.pupilY, h.pupilR);
}

void Evaluate(const RealEye& eye, const GrayPicture& picture, EyeResult* res, std::vector<uint8_t>* window) {
    int ox = 0, oy = 0;
    window->assign(kWorkSide * kWorkSide, 0);
    PlaceInWorkingImage(picture, window->data(), &ox, &oy);
    res->placed = *window;
    std::vector<uint8_t> view(640 * 480);
    RunChain(window->data(), &res->chain, view.data());
    const ChainCircle& c = res->chain.firstCircle;
    const bool circle = c.outer > 0;
    if (circle && eye.pupil.known) res->pupilError = CircleError(eye.pupil, ox, oy, c.pupilX, c.pupilY, c.inner);
    if (circle && eye.iris.known) {
        res->irisError = CircleError(eye.iris, ox, oy, c.cx, c.cy, c.outer);
        res->irisTolerance = std::max(8.0, 0.08 * eye.iris.r);
    }
    res->offsetX = ox;
    res->offsetY = oy;
    // The judge alone, on the view cut at the first call's centre of the
    // unsharpened photograph's window (what a person would call its image).
    if (circle) {
        std::vector<uint8_t> own(640 * 480);
        CropTo640x480(res->placed.data(), c.cx, c.cy, own.data());
        res->judgeOnlyResult = JudgeView(own.data(), &res->judgeOnly);
    }
}

void RunDegraded(const EyeResult& good, DegradedTally* tally) {
    const ChainCircle& c = good.chain.firstCircle;
    if (c.outer <= 0) return;
    std::vector<uint8_t> bad(kWorkSide * kWorkSide), view(640 * 480);
    for (int d = 0; d < static_cast<int>(Degradation::kCount); ++d) {
        Degrade(good.placed.data(), static_cast<Degradation>(d), c.cx, c.cy, c.outer, bad.data());
        std::vector<uint8_t> own(640 * 480);
        CropTo640x480(bad.data(), c.cx, c.cy, own.data());
        JudgeReport report;
        const bool judgeAccepts = JudgeView(own.data(), &report) == kJudgeOk && report.score >= 60;
        ChainOutcome chain;
        RunChain(bad.data(), &chain, view.data());
        tally->Add(d, judgeAccepts, chain.accepted);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fprintf(stderr, "usage: iris-eval DIR [--sheet FILE.png] [--degraded] [--check] [--floors]\n");
        return 2;
    }
    std::string error;
    const std::vector<RealEye> eyes = ReadTruth(o.folder, &error);
    if (eyes.empty()) {
        std::fprintf(stderr, "iris-eval: %s\n", error.empty() ? "no rows in truth.csv" : error.c_str());
        return 2;
    }
    Report report;
    std::vector<uint8_t> window;
    std::map<std::string, RadiusRange> peerRanges = PeerRanges(eyes);
    for (const RealEye& eye : eyes) {
        GrayPicture picture;
        if (!LoadPng(o.folder + "/" + eye.file, &picture)) {
            std::fprintf(stderr, "iris-eval: cannot read %s\n", eye.file.c_str());
            return 2;
        }
        EyeResult res;
        res.eye = eye;
        Evaluate(eye, picture, &res, &window);
        if (HoughPeerBuilt()) RunHoughPeer(eye, peerRanges[eye.group], &res);
        if (o.degraded && UsableGroup(eye.group)) RunDegraded(res, &report.degraded[eye.group]);
        report.Add(std::move(res));
    }
    report.Print(o.degraded);
    if (!o.sheet.empty() && !report.WriteSheet(o.sheet)) {
        std::fprintf(stderr, "iris-eval: cannot write %s\n", o.sheet.c_str());
        return 2;
    }
    if (o.floors && !report.FloorsHeld()) return 1;
    return o.check && !report.GoalsMet(o.degraded) ? 1 : 0;
}
