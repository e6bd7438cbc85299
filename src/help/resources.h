#pragma once
// The data resources carried inside the running executable, read straight from memory:
// nothing is unpacked next to the program.
#include <string_view>

#include "help/resource_ids.h"

namespace qm {

// The bytes of the "CUSTOM" resource id of the running executable; empty when it has none.
// The view stays valid for the life of the process.
std::string_view ProgramResource(int id);

}  // namespace qm
