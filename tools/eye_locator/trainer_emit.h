// Writes the trained tables as the generated source of the eye locator's model.
#pragma once

#include <string>

#include "tools/eye_locator/trainer_calibrate.h"

namespace eyetools {

bool WriteModelSource(const std::string& path, const ModelTables& tables, const std::string& commandLine,
                      const std::string& training, const std::string& evaluation);

}  // namespace eyetools
