// The bytes of a "MODE" resource inside a built OCX file, read from the file
// itself (so that a 32-bit Linux test can take the modules exactly as the
// OCX carries them).
#pragma once

#include <string>

namespace shipped {

// The first language's data of resource type "MODE", id; empty when the
// image has no such resource or its resource directory is malformed.
std::string EmbeddedModule(const std::string& image, int id);

// The module as the OCX at ocxPath embeds it, or, when that OCX is missing or
// does not carry it, the module's own DLL file. *source says which was taken.
std::string ShippedModule(const std::string& ocxPath, int id, const std::string& dllPath, std::string* source);

}  // namespace shipped
