// HoughCircles twice, as the usual two-circle recipe: the limbus over the
// whole window within the camera's radius range, then the pupil inside the
// iris square nearest the iris centre.
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>
#include <vector>

#include "tools/iris_eval/hough_peer.h"

namespace iriseval {
namespace {

constexpr int kSide = 720;
// Chosen among a few settings on the dev photographs (Canny's upper
// threshold, accumulator threshold, resolution): the best iris figure.
constexpr double kCannyHigh = 40, kIrisVotes = 30, kPupilVotes = 20, kResolution = 1;

}  // namespace

bool HoughPeerBuilt() { return true; }

PeerCircles HoughPeer(const uint8_t* window, int minIrisR, int maxIrisR) {
    const auto start = std::chrono::steady_clock::now();
    PeerCircles out;
    cv::Mat src(kSide, kSide, CV_8UC1, const_cast<uint8_t*>(window)), blurred;
    cv::medianBlur(src, blurred, 5);
    std::vector<cv::Vec3f> irises, pupils;
    cv::HoughCircles(blurred, irises, cv::HOUGH_GRADIENT, kResolution, kSide, kCannyHigh, kIrisVotes, minIrisR,
                     maxIrisR);
    if (!irises.empty()) {
        const cv::Vec3f iris = irises[0];
        out.found = true;
        out.irisX = iris[0], out.irisY = iris[1], out.irisR = iris[2];
        const int r = static_cast<int>(iris[2]);
        const cv::Rect box = cv::Rect(static_cast<int>(iris[0]) - r, static_cast<int>(iris[1]) - r, 2 * r, 2 * r) &
                             cv::Rect(0, 0, kSide, kSide);
        cv::HoughCircles(blurred(box), pupils, cv::HOUGH_GRADIENT, kResolution, 4, kCannyHigh, kPupilVotes,
                         static_cast<int>(0.15 * r), static_cast<int>(0.75 * r));
        double nearest = 0.3 * r;
        for (const cv::Vec3f& p : pupils) {
            const double x = p[0] + box.x, y = p[1] + box.y, d = std::hypot(x - out.irisX, y - out.irisY);
            if (d >= nearest) continue;
            nearest = d;
            out.pupilX = x, out.pupilY = y, out.pupilR = p[2];
        }
    }
    out.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return out;
}

}  // namespace iriseval
