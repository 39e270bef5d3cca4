#include "ui/framework/NumberText.h"

#include <windows.h>

#include <cwchar>

namespace NumberText {
namespace {

constexpr int kLocaleTextSize = 8; // separators and groupings are at most a few characters
constexpr int kNumberTextSize = 64;

} // namespace

bool FormatCount(uint64_t value, C_String& out) {
    wchar_t digits[kNumberTextSize];
    _snwprintf(digits, kNumberTextSize, L"%I64u", value);
    digits[kNumberTextSize - 1] = 0;
    out.Assign(digits);

    // The locale's grouping, such as "3;0", becomes the format's 3 (and "3;2;0" its 32).
    wchar_t grouping[kLocaleTextSize] = {};
    wchar_t thousand[kLocaleTextSize] = {};
    wchar_t decimal[kLocaleTextSize] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, kLocaleTextSize) ||
        !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousand, kLocaleTextSize) ||
        !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, kLocaleTextSize))
        return false;
    UINT groups = 0;
    for (const wchar_t* at = grouping; *at; ++at)
        if (*at >= L'1' && *at <= L'9')
            groups = groups * 10 + UINT(*at - L'0');
    NUMBERFMTW format{};
    format.NumDigits = 0;
    format.LeadingZero = 0;
    format.Grouping = groups;
    format.lpDecimalSep = decimal;
    format.lpThousandSep = thousand;
    format.NegativeOrder = 1;
    wchar_t grouped[kNumberTextSize];
    if (!GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits, &format, grouped, kNumberTextSize))
        return false;
    return out.Assign(grouped);
}

} // namespace NumberText
