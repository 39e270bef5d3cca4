#pragma once
// Counts as the user's locale writes them, with its digit grouping ("3,456" in English, "3.456" in German).
#include "foundation/base/TextString.h"

#include <cstdint>

namespace NumberText {

// False, with out holding the plain digits, when the locale cannot be asked.
bool FormatCount(uint64_t value, C_String& out);

} // namespace NumberText
