#include "foundation/settings/SettingsText.h"

#include <cwchar>

namespace {

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}
bool IsDigit(wchar_t ch) {
    return ch >= L'0' && ch <= L'9';
}

} // namespace

void FormatUnsignedDecimal(uint64_t value, wchar_t (&text)[kNumberTextUnits]) {
    _snwprintf(text, kNumberTextUnits, L"%I64u", value);
    text[kNumberTextUnits - 1] = 0;
}

bool ParseUnsignedDecimal(const wchar_t* text, uint64_t& value) {
    if (!text)
        return false;
    while (IsBlank(*text))
        ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+')
        ++text;
    if (!IsDigit(*text))
        return false;
    uint64_t result = 0;
    for (; IsDigit(*text); ++text) {
        uint64_t digit = uint64_t(*text - L'0');
        if (result > (UINT64_MAX - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    while (IsBlank(*text))
        ++text;
    if (*text)
        return false;
    value = negative ? 0 - result : result; // as "%I64u" takes "-1": the largest value
    return true;
}
