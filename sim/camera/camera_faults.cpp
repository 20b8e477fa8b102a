#include "sim/camera/camera_faults.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace k7qsim {

namespace {

bool ParseFaultName(const std::string& name, CameraFault* fault) {
    if (name == "none") *fault = CameraFault::None;
    else if (name == "unplug") *fault = CameraFault::Unplug;
    else if (name == "stall") *fault = CameraFault::Stall;
    else if (name == "busy") *fault = CameraFault::Busy;
    else if (name == "wide") *fault = CameraFault::Wide;
    else return false;
    return true;
}

bool LineNamesEye(const std::string& word, Eye eye) {
    if (word == "both") return true;
    return word == (eye == Eye::Left ? "left" : "right");
}

}  // namespace

CameraFault ParseCameraFault(const std::string& text, Eye eye) {
    CameraFault result = CameraFault::None;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string who, what, extra;
        if (!(words >> who >> what) || (words >> extra)) continue;  // malformed lines are ignored
        CameraFault fault;
        if (LineNamesEye(who, eye) && ParseFaultName(what, &fault)) result = fault;
    }
    return result;
}

CameraFault ReadCameraFault(const std::string& path, Eye eye) {
    if (path.empty()) return CameraFault::None;
    std::ifstream file(path, std::ios::binary);
    if (!file) return CameraFault::None;
    std::string text(4096, '\0');  // a control file is a few lines; more is ignored
    file.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    return ParseCameraFault(text, eye);
}

std::string CameraControlPath() {
    const char* value = std::getenv(kCameraControlVariable);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace k7qsim
