#pragma once
// Numbers as devices print them: an optional sign, digits, an optional fraction and an optional exponent
// ("-3e-2", "41.5", "1200"). A unit of letters, '%' or '°' may follow directly ("3.3V", "50%"); whatever follows
// that must not continue a word or a number, so "0x1F", "5.10.0" and "12:30" are not numbers. The value is
// the double nearest to the decimal text; one too large for a double is no number either.
#include <cstdint>

namespace PlotNumber {

// The characters a name is made of (letters of any script, digits, '_', '.', '-'); a name begins with a letter or
// '_'.
bool IsNameStart(wchar_t c);
bool IsNameCharacter(wchar_t c);

// Scans a number with its unit at text[at]. True with the value and the index just past the unit when the text
// there is a number the next character does not continue.
bool Scan(const wchar_t* text, uint32_t length, uint32_t at, double& value, uint32_t& end);

// The shortest text that reads back as the same double, in the C locale's form ("41.5", "-0.03", "1e+21").
// size is at least kMaxText.
constexpr uint32_t kMaxText = 32;
void Format(double value, char* out, uint32_t size);

} // namespace PlotNumber
