// The eye locator beside OpenCV's Haar eye cascade (haarcascade_eye.xml) on the
// same held-out timeline frames of the virtual device's scenes.
//   eye_locator_vs_opencv [--first A] [--last B] [--step MS] [--cascade FILE]
// The cascade's square boxes cover the eyeball more than the whole eye, so
// besides IoU a detection also counts as found when its centre lies inside the
// true eye box; each detector's first (locator) or largest (cascade) box is
// its answer. Cascade settings: "usual" is detectMultiScale's defaults on the
// full frame (scale factor 1.1, 3 neighbours, no size limits); "tuned" runs on
// the frame reduced 4-fold with sizes limited to this camera's eyes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include "modules/eye_locator.h"
#include "tools/eye_locator/eye_frames.h"

namespace {

using eyetools::Box;

struct Tally {
    const char* name;
    int64_t wellPlaced = 0, centreHits = 0, iouHits = 0, eyeFree = 0, falseFrames = 0, frames = 0;
    double iouSum = 0, ms = 0;
};

// Returns the boxes a detector reports, answer first.
using Run = std::function<std::vector<Box>(const uint8_t* frame)>;

void Score(Tally& t, const k7qsim::GroundTruth& truth, const std::vector<Box>& boxes, double ms) {
    ++t.frames;
    t.ms += ms;
    if (!truth.eyeVisible) {
        ++t.eyeFree;
        t.falseFrames += !boxes.empty();
    }
    if (!eyetools::WellPlaced(truth)) return;
    ++t.wellPlaced;
    if (boxes.empty()) return;
    const Box& b = boxes.front();
    const double cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    t.centreHits += cx >= truth.eyeBoxLeft && cx <= truth.eyeBoxRight && cy >= truth.eyeBoxTop && cy <= truth.eyeBoxBottom;
    const double iou = eyetools::IoU(b, eyetools::TruthBox(truth));
    t.iouSum += iou;
    t.iouHits += iou >= 0.5;
}

std::vector<Box> Largest(const std::vector<cv::Rect>& found, double factor) {
    std::vector<Box> boxes;
    size_t best = 0;
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i].area() > found[best].area()) best = i;
    for (size_t k = 0; k < found.size(); ++k) {
        const cv::Rect& r = found[k == 0 ? best : (k == best ? 0 : k)];
        boxes.push_back({r.x * factor, r.y * factor, (r.x + r.width) * factor, (r.y + r.height) * factor});
    }
    return boxes;
}

}  // namespace

int main(int argc, char** argv) {
    eyetools::FrameRange range{1, 4, 300};
    std::string cascadePath = "/usr/share/opencv4/haarcascades/haarcascade_eye.xml";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--first") range.firstSeed = std::strtoull(argv[i + 1], nullptr, 0);
        else if (k == "--last") range.lastSeed = std::strtoull(argv[i + 1], nullptr, 0);
        else if (k == "--step") range.stepMs = std::atof(argv[i + 1]);
        else if (k == "--cascade") cascadePath = argv[i + 1];
    }
    cv::CascadeClassifier cascade;
    if (!cascade.load(cascadePath)) {
        std::fprintf(stderr, "cannot load %s\n", cascadePath.c_str());
        return 1;
    }
    cv::setNumThreads(1);  // one core, like the locator
    if (EyeLocatorInit(960, 720) != 0) return 1;
    Tally tallies[3] = {{"eye locator"}, {"OpenCV cascade, usual settings"}, {"OpenCV cascade, tuned"}};
    const Run runs[3] = {
        [](const uint8_t* f) {
            int32_t r[8];
            const int32_t eyes = EyeLocatorDetect(f, 960 * 720, r);
            std::vector<Box> boxes;
            for (int e = 0; e < eyes && e < 2; ++e) boxes.push_back(eyetools::RectBox(r + 4 * e));
            return boxes;
        },
        [&](const uint8_t* f) {
            const cv::Mat img(720, 960, CV_8UC1, const_cast<uint8_t*>(f));
            std::vector<cv::Rect> found;
            cascade.detectMultiScale(img, found, 1.1, 3);
            return Largest(found, 1);
        },
        [&](const uint8_t* f) {
            const cv::Mat img(720, 960, CV_8UC1, const_cast<uint8_t*>(f));
            cv::Mat small;
            cv::resize(img, small, cv::Size(240, 180), 0, 0, cv::INTER_AREA);
            std::vector<cv::Rect> found;
            cascade.detectMultiScale(small, found, 1.1, 3, 0, cv::Size(36, 36), cv::Size(150, 150));
            return Largest(found, 4);
        },
    };
    eyetools::ForEachTimelineFrame(range, [&](uint64_t, double, const k7qsim::GroundTruth& truth, const uint8_t* f) {
        for (int d = 0; d < 3; ++d) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<Box> boxes = runs[d](f);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            Score(tallies[d], truth, boxes, ms);
        }
    });
    EyeLocatorRelease();
    std::printf("timeline seeds %llu..%llu every %.0f ms\n", static_cast<unsigned long long>(range.firstSeed),
                static_cast<unsigned long long>(range.lastSeed), range.stepMs);
    std::printf("%-32s %8s %10s %8s %8s %10s %9s\n", "detector", "frames", "found(ctr)", "IoU>=.5", "meanIoU",
                "false/frm", "ms/frame");
    for (const Tally& t : tallies)
        std::printf("%-32s %8lld %9.2f%% %7.2f%% %8.3f %9.2f%% %9.3f\n", t.name, static_cast<long long>(t.frames),
                    t.wellPlaced ? 100.0 * t.centreHits / t.wellPlaced : 0.0,
                    t.wellPlaced ? 100.0 * t.iouHits / t.wellPlaced : 0.0, t.wellPlaced ? t.iouSum / t.wellPlaced : 0.0,
                    t.eyeFree ? 100.0 * t.falseFrames / t.eyeFree : 0.0, t.frames ? t.ms / t.frames : 0.0);
    return 0;
}
