// The two steps that patch a mapped image in place: base relocation and
// import resolution. Both read only inside the mapping (module->size bytes).
#pragma once

#include <cstdint>

#include "modules/module_loader.h"
#include "modules/pe_image.h"

// Adds delta to every HIGHLOW (32-bit) and DIR64 (64-bit) target listed in the
// relocation directory; other entry types are skipped. False for a block or
// target outside the image.
bool ApplyRelocations(const ModuleImage& module, pe::DataDirectory directory, uint64_t delta);

// Loads each imported library (recorded in module->libraries) and fills the
// address table of each descriptor by name or ordinal. False on the first
// library or function that cannot be found, or on an offset outside the image.
bool ResolveImports(ModuleImage* module, pe::DataDirectory directory);
