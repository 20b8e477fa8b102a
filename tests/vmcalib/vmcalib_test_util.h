// Calls of the iris module's detection entry the way the capture engine
// makes them: the two records around one image, and the words it reads back.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "modules/vmcalib.h"
#include "modules/vmcalib/vmcalib_records.h"

struct DetectCall {
    std::vector<char> text = std::vector<char>(kVmTextBytes, 0);
    std::vector<uint8_t> iris = std::vector<uint8_t>(kVmIrisOutBytes, 0);
    int32_t roi[4] = {39, 119, 639, 479};
    VmCaWord in[kVmInWords] = {};
    VmCaWord out[kVmOutWords] = {};

    explicit DetectCall(const uint8_t* image) {
        in[kVmInKind] = kVmInKindGray720;
        in[kVmInImage] = reinterpret_cast<VmCaWord>(image);
        in[kVmInRoi] = reinterpret_cast<VmCaWord>(roi);
        out[kVmOutText] = reinterpret_cast<VmCaWord>(text.data());
        out[kVmOutIris] = reinterpret_cast<VmCaWord>(iris.data());
    }
    int Run(const CVmCaLib& lib) { return lib.f4(0, in, out); }
    double CentreX() const { return static_cast<double>(out[kVmOutCentreX]); }
    double CentreY() const { return static_cast<double>(out[kVmOutCentreY]); }
    double Outer() const { return static_cast<double>(out[kVmOutOuterRadius]); }
    double Inner() const { return static_cast<double>(out[kVmOutInnerRadius]); }
};
