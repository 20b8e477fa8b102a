#include "tools/iris_eval/eval_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "modules/judge/judge_score.h"
#include "sim/scene/image_io.h"

namespace iriseval {
namespace {

bool Found(int code) { return code == 1 || code == -19; }

// The judge's weakest component, "name value", for the listing.
std::string Weakest(const JudgeReport& r) {
    int worst = 0;
    for (int i = 1; i < kJudgeComponentCount; ++i)
        if (ComponentScore(i, ComponentValue(r.components, i)) < ComponentScore(worst, ComponentValue(r.components, worst)))
            worst = i;
    char text[64];
    std::snprintf(text, sizeof text, "%s %.1f", ComponentScaleOf(worst).name, ComponentValue(r.components, worst));
    return text;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5))];
}

struct GroupFigures {
    int n = 0, found = 0, chainAccepts = 0, judgeAccepts = 0, judged = 0;
    int pupilTruth = 0, pupilWithin = 0, irisTruth = 0, irisWithin = 0;
    int wrongFound = 0;  // found (1 or -19) with a circle outside the tolerance
    std::vector<double> pupilErrors, irisErrors, f4Ms, judgeMs;
    std::map<int, int> codes;
};

bool PupilWithin(const EyeResult& r) { return r.pupilError >= 0 && r.pupilError <= 3; }
bool IrisWithin(const EyeResult& r) { return r.irisError >= 0 && r.irisError <= r.irisTolerance; }

GroupFigures Figures(const std::vector<const EyeResult*>& group) {
    GroupFigures f;
    for (const EyeResult* r : group) {
        ++f.n;
        ++f.codes[r->chain.first];
        f.found += Found(r->chain.first);
        f.chainAccepts += r->chain.accepted;
        if (r->judgeOnlyResult >= 0) {
            ++f.judged;
            f.judgeAccepts += r->judgeOnlyResult == kJudgeOk && r->judgeOnly.score >= 60;
        }
        f.f4Ms.push_back(r->chain.f4Ms);
        if (r->chain.judgeResult >= 0) f.judgeMs.push_back(r->chain.judgeMs);
        if (r->eye.pupil.known) {
            ++f.pupilTruth;
            f.pupilWithin += PupilWithin(*r);
            f.pupilErrors.push_back(r->pupilError < 0 ? 999 : r->pupilError);
        }
        if (r->eye.iris.known) {
            ++f.irisTruth;
            f.irisWithin += IrisWithin(*r);
            f.irisErrors.push_back(r->irisError < 0 ? 999 : r->irisError);
        }
        const bool truthOk = (!r->eye.pupil.known || PupilWithin(*r)) && (!r->eye.iris.known || IrisWithin(*r));
        f.wrongFound += Found(r->chain.first) && !truthOk;
    }
    return f;
}

double Share(int a, int b) { return b ? 100.0 * a / b : 0; }

// Goals of the eye analysis per group; a message for each one missed.
std::vector<std::string> Misses(const std::string& group, const GroupFigures& f) {
    std::vector<std::string> m;
    if (UsableGroup(group)) {
        if (Share(f.found, f.n) < 95) m.push_back("f4 answers 1 or -19 on fewer than 95%");
        if (Share(f.chainAccepts, f.n) < 90) m.push_back("the chain accepts fewer than 90%");
    }
    if (DeviceScaleGroup(group)) {
        if (f.pupilTruth && Share(f.pupilWithin, f.pupilTruth) < 95) m.push_back("pupil within 3 px on fewer than 95%");
        if (f.irisTruth && Share(f.irisWithin, f.irisTruth) < 90) m.push_back("iris within 8 px on fewer than 90%");
    }
    if (f.wrongFound) m.push_back("a circle outside the tolerance reported as found");
    return m;
}

// OpenCV's HoughCircles on the same windows, with the same tolerances.
void PrintHoughPeer(const std::vector<const EyeResult*>& group) {
    int pupilTruth = 0, pupilWithin = 0, irisTruth = 0, irisWithin = 0;
    std::vector<double> ms;
    for (const EyeResult* r : group) {
        pupilTruth += r->eye.pupil.known;
        irisTruth += r->eye.iris.known;
        pupilWithin += r->houghPupilError >= 0 && r->houghPupilError <= 3;
        irisWithin += r->houghIrisError >= 0 && r->houghIrisError <= r->irisTolerance;
        ms.push_back(r->hough.ms);
    }
    std::printf("  HoughCircles peer: pupil within 3 px %d/%d, iris within 8 px or 8%% %d/%d, median %.2f ms\n",
                pupilWithin, pupilTruth, irisWithin, irisTruth, Percentile(ms, 0.5));
}

}  // namespace

bool UsableGroup(const std::string& g) { return g == "casia-interval" || g == "iitd" || g == "nd0405"; }
bool DeviceScaleGroup(const std::string& g) { return g == "casia-interval" || g == "iitd" || g == "openiris"; }

std::vector<std::string> Report::Groups() const {
    std::vector<std::string> g;
    for (const EyeResult& r : results_)
        if (std::find(g.begin(), g.end(), r.eye.group) == g.end()) g.push_back(r.eye.group);
    return g;
}

std::vector<const EyeResult*> Report::Group(const std::string& group) const {
    std::vector<const EyeResult*> g;
    for (const EyeResult& r : results_)
        if (r.eye.group == group) g.push_back(&r);
    return g;
}

void Report::Print(bool withDegraded) const {
    for (const std::string& group : Groups()) {
        const GroupFigures f = Figures(Group(group));
        std::printf("== %s: %d images\n", group.c_str(), f.n);
        std::printf("  f4 codes:");
        for (const auto& [code, count] : f.codes) std::printf(" %d x%d", code, count);
        std::printf("\n  f4 answers 1 or -19: %d/%d (%.0f%%)\n", f.found, f.n, Share(f.found, f.n));
        if (f.pupilTruth)
            std::printf("  pupil error: median %.1f px, 90th %.1f px, within 3 px %d/%d (%.0f%%)\n",
                        Percentile(f.pupilErrors, 0.5), Percentile(f.pupilErrors, 0.9), f.pupilWithin, f.pupilTruth,
                        Share(f.pupilWithin, f.pupilTruth));
        if (f.irisTruth)
            std::printf("  iris error: median %.1f px, 90th %.1f px, within 8 px or 8%% %d/%d (%.0f%%)\n",
                        Percentile(f.irisErrors, 0.5), Percentile(f.irisErrors, 0.9), f.irisWithin, f.irisTruth,
                        Share(f.irisWithin, f.irisTruth));
        std::printf("  found with a wrong circle: %d\n", f.wrongFound);
        std::printf("  chain accepts: %d/%d (%.0f%%); judge alone accepts %d/%d\n", f.chainAccepts, f.n,
                    Share(f.chainAccepts, f.n), f.judgeAccepts, f.judged);
        std::printf("  time: f4 median %.2f ms, judge median %.2f ms\n", Percentile(f.f4Ms, 0.5),
                    Percentile(f.judgeMs, 0.5));
        if (HoughPeerBuilt()) PrintHoughPeer(Group(group));
        for (const std::string& miss : Misses(group, f)) std::printf("  GOAL MISSED: %s\n", miss.c_str());
        if (withDegraded && degraded.count(group)) {
            const DegradedTally& t = degraded.at(group);
            for (int d = 0; d < static_cast<int>(Degradation::kCount); ++d)
                std::printf("  degraded %-26s judge rejects %d/%d, chain rejects %d/%d\n",
                            DegradationName(static_cast<Degradation>(d)), t.judgeRejects[d], t.judged[d],
                            t.chainRejects[d], t.judged[d]);
        }
        for (const EyeResult* r : Group(group)) {
            const ChainOutcome& c = r->chain;
            std::printf("    %-34s f4 %4d pupil %5.1f iris %5.1f blur %.2f second %4d judge %3d/%3d (%s) gray %d %s\n"
                        "      %s\n",
                        r->eye.file.c_str() + r->eye.file.find('/') + 1, c.first, r->pupilError, r->irisError,
                        c.blurScore, c.second, c.judgeResult, c.judgeResult == 0 ? c.judge.score : -1,
                        c.judgeResult == 0 ? Weakest(c.judge).c_str() : "-", c.irisGray,
                        c.accepted ? "ACCEPTED" : "", c.firstText);
        }
    }
}

bool Report::FloorsHeld() const {
    bool held = true;
    for (const std::string& group : Groups()) {
        const GroupFigures f = Figures(Group(group));
        if (UsableGroup(group) && Share(f.found, f.n) < kFloorFound) held = false;
        if (DeviceScaleGroup(group) && f.pupilTruth > 1 && Share(f.pupilWithin, f.pupilTruth) < kFloorPupil) held = false;
        if (DeviceScaleGroup(group) && f.irisTruth > 1 && Share(f.irisWithin, f.irisTruth) < kFloorIris) held = false;
        if (DeviceScaleGroup(group) && f.n >= kChainFloorGroupSize && Share(f.chainAccepts, f.n) < kFloorChain)
            held = false;
        if (!held) std::printf("FLOOR MISSED: %s\n", group.c_str());
    }
    return held;
}

bool Report::GoalsMet(bool withDegraded) const {
    bool met = true;
    for (const std::string& group : Groups()) met = met && Misses(group, Figures(Group(group))).empty();
    if (!withDegraded) return met;
    int judged = 0, rejected = 0;
    for (const auto& [group, t] : degraded)
        for (int d = 0; d < static_cast<int>(Degradation::kCount); ++d) judged += t.judged[d], rejected += t.judgeRejects[d];
    return met && judged > 0 && rejected * 100 >= judged * 95;
}

namespace {

constexpr int kShrink = 3, kTile = kWorkSide / kShrink, kColumns = 6, kMaxTiles = 24;

void Dot(std::vector<uint8_t>& sheet, int width, int x, int y, uint8_t v) {
    if (x >= 0 && y >= 0 && x < width && y < static_cast<int>(sheet.size()) / width) sheet[y * width + x] = v;
}

void DrawCircle(std::vector<uint8_t>& sheet, int width, int ox, int oy, double cx, double cy, double r, uint8_t v,
                bool dashed) {
    for (int a = 0; a < 360; ++a) {
        if (dashed && (a / 6) % 2) continue;
        const double t = a * M_PI / 180;
        Dot(sheet, width, ox + static_cast<int>((cx + r * std::cos(t)) / kShrink), oy + static_cast<int>((cy + r * std::sin(t)) / kShrink), v);
    }
}

double Badness(const EyeResult& r) {
    if (r.chain.firstCircle.outer <= 0) return 1000;
    double b = 0;
    if (r.pupilError >= 0) b = std::max(b, r.pupilError / 3);
    if (r.irisError >= 0) b = std::max(b, r.irisError / r.irisTolerance);
    return b + (r.chain.accepted ? 0 : 1);
}

}  // namespace

bool Report::WriteSheet(const std::string& path) const {
    std::vector<const EyeResult*> order;
    for (const EyeResult& r : results_) order.push_back(&r);
    std::stable_sort(order.begin(), order.end(),
                     [](const EyeResult* a, const EyeResult* b) { return Badness(*a) > Badness(*b); });
    if (order.size() > kMaxTiles) order.resize(kMaxTiles);
    const int rows = (static_cast<int>(order.size()) + kColumns - 1) / kColumns;
    const int width = kColumns * kTile;
    std::vector<uint8_t> sheet(static_cast<size_t>(width) * rows * kTile, 0);
    std::ofstream captions(path + ".txt");
    captions << "Worst results first; solid white: what f4 found; dashed black: the truth.\n";
    for (size_t i = 0; i < order.size(); ++i) {
        const EyeResult& r = *order[i];
        const int ox = static_cast<int>(i % kColumns) * kTile, oy = static_cast<int>(i / kColumns) * kTile;
        const std::vector<uint8_t> thumb = k7qsim::Downsample(r.placed.data(), kWorkSide, kWorkSide, kShrink);
        for (int y = 0; y < kTile; ++y)
            for (int x = 0; x < kTile; ++x) sheet[(oy + y) * width + ox + x] = thumb[y * kTile + x];
        const ChainCircle& c = r.chain.firstCircle;
        if (r.eye.pupil.known)
            DrawCircle(sheet, width, ox, oy, r.eye.pupil.x + r.offsetX, r.eye.pupil.y + r.offsetY, r.eye.pupil.r, 0, true);
        if (r.eye.iris.known)
            DrawCircle(sheet, width, ox, oy, r.eye.iris.x + r.offsetX, r.eye.iris.y + r.offsetY, r.eye.iris.r, 0, true);
        if (c.outer > 0) {
            DrawCircle(sheet, width, ox, oy, c.pupilX, c.pupilY, c.inner, 255, false);
            DrawCircle(sheet, width, ox, oy, c.cx, c.cy, c.outer, 255, false);
        }
        char line[256];
        std::snprintf(line, sizeof line, "row %zu col %zu: %s f4 %d, pupil error %.1f, iris error %.1f, judge %d%s\n",
                      i / kColumns + 1, i % kColumns + 1, r.eye.file.c_str(), r.chain.first, r.pupilError, r.irisError,
                      r.chain.judgeResult == 0 ? r.chain.judge.score : -1, r.chain.accepted ? ", accepted" : "");
        captions << line;
    }
    const std::vector<uint8_t> png = k7qsim::EncodePng(sheet.data(), width, rows * kTile);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

}  // namespace iriseval
