// Faults a test can put on a running virtual camera: unplug (the device
// vanishes: EC_DEVICE_LOST, no more frames), stall (no frames while set) and
// busy (the camera refuses to run, as when another program holds it), and
// wide (the camera offers 1280x720 instead of its 960x720, read when it connects).
//
// They are read from a small text file named by the environment variable
// "K7Q_CAMERA_CONTROL"; each line is "<eye> <fault>", eye one of "left",
// "right", "both", fault one of "unplug", "stall", "busy", "wide", "none". Later lines
// win; '#' starts a comment. No variable or no file: no fault.
#pragma once

#include <string>

#include "sim/scene/scene.h"

namespace k7qsim {

constexpr const char* kCameraControlVariable = "K7Q_CAMERA_CONTROL";

enum class CameraFault { None, Unplug, Stall, Busy, Wide };

// The fault the control text sets for `eye`.
CameraFault ParseCameraFault(const std::string& text, Eye eye);

// Reads the file `path` names (empty: none) and parses it for `eye`.
CameraFault ReadCameraFault(const std::string& path, Eye eye);

// The control file's path from the environment ("" when unset).
std::string CameraControlPath();

}  // namespace k7qsim
