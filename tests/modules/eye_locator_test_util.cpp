#include "tests/modules/eye_locator_test_util.h"

namespace eyetest {

std::vector<uint8_t> RandomFrame(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint8_t> f(static_cast<size_t>(width) * height);
    uint32_t s = seed * 2654435761u + 1;
    for (uint8_t& v : f) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        v = static_cast<uint8_t>(s >> 24);
    }
    return f;
}

}  // namespace eyetest
