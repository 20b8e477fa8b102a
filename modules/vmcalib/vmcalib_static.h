// The module linked into the program: binds a CVmCaLib's entry table to the
// static build's functions, the same table the DLL fills through exports.
#pragma once

#include "modules/vmcalib.h"

void BindStaticVmCaLib(CVmCaLib* binding);
