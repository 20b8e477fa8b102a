// The shipped algorithm modules run over pinned rendered frames, one text
// line per frame: what the iris module's f4 answered and wrote into its
// output record, and what the image judge's Qdr_ImageJudgeValue answered and
// scored. The i686 modules (in a 32-bit process under qemu-i386) and the
// x86_64 modules (under Wine) must produce the same lines.
#pragma once

#include <string>
#include <vector>

#include "modules/module_platform.h"

namespace shipped {

constexpr int kFrames = 52;  // four from a scene of each eye-frame kind

// Loads both module images with platform and runs every frame. Returns the
// lines, or an empty list with *error saying what failed. The judge's file
// is written into temporaryDirectory (with its trailing separator).
std::vector<std::string> ModuleResults(IModulePlatform& platform, const std::string& vmcalibImage,
                                       const std::string& judgeImage, const std::string& temporaryDirectory,
                                       std::string* error);

std::vector<std::string> ReadLines(const std::string& path);
bool WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace shipped
