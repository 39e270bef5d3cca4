#include "terminal/plot/PlotNumber.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr wchar_t kDegree = 0x00B0;
constexpr uint32_t kExactDigits = 15;   // a mantissa of this many digits is an exact double
constexpr int kExactPowerOfTen = 22;    // 10^22 is the largest exact power of ten
constexpr uint32_t kMaxNumberText = 64; // longer numbers go to the runtime's conversion in a buffer this size
constexpr int kShortPrecision = 15;
constexpr int kRoundTripPrecision = 17;

const double kPowersOfTen[kExactPowerOfTen + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Letters beyond ASCII ("µs", "°C" aside, names in Greek or Cyrillic) are asked of the system's tables.
bool IsLetter(wchar_t c) {
    if (c < 0x80)
        return IsAsciiLetter(c);
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &c, 1, &type) && (type & C1_ALPHA);
}

bool IsUnitCharacter(wchar_t c) {
    return IsLetter(c) || c == L'%' || c == kDegree;
}

// A number's end may not run on into a word, a further number, a version or a time of day.
bool ContinuesNumber(wchar_t c) {
    return PlotNumber::IsNameCharacter(c) || c == L':' || c == L'/';
}

// The runtime's conversion for what the exact path cannot take (long mantissas, large exponents).
double ConvertSlowly(const wchar_t* text, uint32_t length) {
    char narrow[kMaxNumberText + 1];
    if (length > kMaxNumberText)
        return HUGE_VAL; // only a mantissa of dozens of digits gets here; it is no reading
    for (uint32_t i = 0; i < length; ++i)
        narrow[i] = char(text[i]);
    narrow[length] = 0;
    return strtod(narrow, nullptr);
}

} // namespace

bool PlotNumber::IsNameStart(wchar_t c) {
    return c == L'_' || IsLetter(c);
}

bool PlotNumber::IsNameCharacter(wchar_t c) {
    return IsDigit(c) || c == L'_' || c == L'.' || c == L'-' || IsLetter(c);
}

// Digits are gathered into an integer mantissa and a power of ten; while both are exact in a double, one
// multiplication or division rounds once, which gives the nearest double.
bool PlotNumber::Scan(const wchar_t* text, uint32_t length, uint32_t at, double& value, uint32_t& end) {
    uint32_t i = at;
    bool negative = false;
    if (i < length && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    if (i >= length || !IsDigit(text[i]))
        return false;
    uint64_t mantissa = 0;
    uint32_t significant = 0;
    int exponent = 0;
    for (; i < length && IsDigit(text[i]); ++i) {
        if (significant || text[i] != L'0')
            ++significant;
        if (significant <= kExactDigits)
            mantissa = mantissa * 10 + uint64_t(text[i] - L'0');
        else
            ++exponent;
    }
    if (i < length && text[i] == L'.') {
        for (++i; i < length && IsDigit(text[i]); ++i) {
            if (significant || text[i] != L'0')
                ++significant;
            if (significant <= kExactDigits) {
                mantissa = mantissa * 10 + uint64_t(text[i] - L'0');
                --exponent;
            }
        }
    }
    uint32_t numberEnd = i;
    int written = 0;
    if (i < length && (text[i] == L'e' || text[i] == L'E')) {
        uint32_t k = i + 1;
        bool negativeExponent = false;
        if (k < length && (text[k] == L'+' || text[k] == L'-'))
            negativeExponent = text[k++] == L'-';
        if (k < length && IsDigit(text[k])) {
            for (; k < length && IsDigit(text[k]); ++k)
                written = written < 100000 ? written * 10 + (text[k] - L'0') : written;
            numberEnd = k;
            exponent += negativeExponent ? -written : written;
        }
    }
    i = numberEnd;
    while (i < length && IsUnitCharacter(text[i]))
        ++i;
    if (i < length && ContinuesNumber(text[i]))
        return false;
    double result;
    if (significant <= kExactDigits && exponent >= -kExactPowerOfTen && exponent <= kExactPowerOfTen)
        result = exponent < 0 ? double(mantissa) / kPowersOfTen[-exponent] : double(mantissa) * kPowersOfTen[exponent];
    else
        result = ConvertSlowly(text + at + (negative || text[at] == L'+' ? 1 : 0),
                               numberEnd - at - (negative || text[at] == L'+' ? 1 : 0));
    if (!std::isfinite(result))
        return false;
    value = negative ? -result : result;
    end = i;
    return true;
}

// The runtime writes exponents with three digits ("1e+021"); the usual two are written instead.
void PlotNumber::Format(double value, char* out, uint32_t size) {
    snprintf(out, size, "%.*g", kShortPrecision, value);
    if (strtod(out, nullptr) != value)
        snprintf(out, size, "%.*g", kRoundTripPrecision, value);
    char* e = strchr(out, 'e');
    if (!e || !e[1] || !e[2])
        return;
    char* digits = e + 2;
    while (digits[0] == '0' && digits[1] && digits[2])
        memmove(digits, digits + 1, strlen(digits));
}
