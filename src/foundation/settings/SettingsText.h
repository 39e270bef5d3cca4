#pragma once
// How the file backends (INI and XML) hold numbers: unsigned decimal text.
#include <cstdint>

constexpr uint32_t kNumberTextUnits = 24; // room for any 64-bit number in decimal

void FormatUnsignedDecimal(uint64_t value, wchar_t (&text)[kNumberTextUnits]);

// Reads text the way "%I64u" does (blanks, an optional sign, digits), but accepts it only when nothing but
// blanks follows the digits and the value fits in 64 bits; "12abc" is not a number.
bool ParseUnsignedDecimal(const wchar_t* text, uint64_t& value);
