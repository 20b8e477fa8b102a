// The build without OpenCV: no peer.
#include "tools/iris_eval/hough_peer.h"

namespace iriseval {

bool HoughPeerBuilt() { return false; }
PeerCircles HoughPeer(const uint8_t*, int, int) { return PeerCircles{}; }

}  // namespace iriseval
