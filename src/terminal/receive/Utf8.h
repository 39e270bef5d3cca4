#pragma once
// Decoding of received text. The pending line holds one unit per received byte; a flush decodes it as UTF-8
// as a whole, and if any of it is not valid UTF-8 (or decodes to U+FFFD) the whole flush keeps its bytes as
// they are, each byte as the character of the same code. Units above 0xFF are text the program inserted
// itself (time stamps); they are never bytes and pass through unchanged.
#include "foundation/base/DynamicBuffer.h"

#include <cstdint>

namespace Utf8 {

enum class Outcome {
    Unchanged, // use the units as they are: nothing to decode, or not valid UTF-8
    Decoded,   // use the decoded text
};

constexpr wchar_t kReplacementCharacter = 0xFFFD;

// Units in [textBegin, textEnd) are text already and are copied as they are.
Outcome Decode(const wchar_t* units, uint32_t count, C_DynamicBuffer<wchar_t>& decoded, uint32_t textBegin = 0,
               uint32_t textEnd = 0);

// The number of units at the end that begin a UTF-8 sequence without finishing it (0 to 3), as when a
// read ends in the middle of a character: waiting for the next read may complete it.
uint32_t IncompleteTail(const wchar_t* units, uint32_t count);

} // namespace Utf8
