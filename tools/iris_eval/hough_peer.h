// OpenCV's HoughCircles as a peer of f4 on the same working images, with the
// iris radius range of each camera group (tuned per camera, as anyone using
// it would tune it). Built only where OpenCV's image processing is found.
#pragma once

#include <cstdint>

namespace iriseval {

struct PeerCircles {
    bool found = false;
    double irisX = 0, irisY = 0, irisR = 0, pupilX = 0, pupilY = 0, pupilR = 0;
    double ms = 0;
};

// Whether this build has the peer.
bool HoughPeerBuilt();
// The strongest circle of an iris radius within [minIrisR, maxIrisR] on the
// 720 x 720 window, then the circle inside it nearest its centre with a
// radius of 0.15 to 0.75 of it (the pupil).
PeerCircles HoughPeer(const uint8_t* window, int minIrisR, int maxIrisR);

}  // namespace iriseval
