// Exposure steering of one eye camera: keeps the lower iris ring of the
// detected eye inside the gray band [60, 100]. Every change needs two
// consecutive out-of-band measurements; a level leaving (150, 300) falls back
// to the camera's default. Runs on the capture thread only.
#pragma once

#include <cstdint>

#include "camera/camera_seam.h"
#include "device/eye_records.h"

constexpr int32_t kExposureDarkLimit = 60;
constexpr int32_t kExposureBrightCoarse = 100;
constexpr int32_t kExposureBrightFine = 70;          // GetGrayRate 0
constexpr int32_t kExposureBrightFineTextured = 80;  // GetGrayRate non-zero
constexpr int32_t kExposureCoarseStep = 40;
constexpr int32_t kExposureFineStep = 15;
constexpr int32_t kExposureUpperBound = 300;
constexpr int32_t kExposureLowerBound = 150;

// LeftDefaultExposure for the camera named "K7Qleft", else RightDefaultExposure.
int32_t DefaultExposureFor(const IEyeCamera* camera);

// After a successful detection: measures the iris gray of the 720x720 image,
// reads the level from the camera, then a coarse and (when in band) a fine
// step. 0 when the gray is within [60, 100], else -1.
int32_t AdaptExposure(const uint8_t* image, int32_t& hold, int32_t& level, IEyeCamera* camera,
                      const IrisCircle& circle);

// One step towards the band below `upper`; 0 when 60 <= gray <= 100, else -1.
int32_t StepExposure(int32_t gray, int32_t& hold, int32_t& level, IEyeCamera* camera, int32_t upper, int32_t step);

// After a failed detection: reads the level and puts it back to the default
// when it left (150, 300). 0.
int32_t RecenterExposure(IEyeCamera* camera, int32_t& level);
