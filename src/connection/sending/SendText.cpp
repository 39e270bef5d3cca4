#include "connection/sending/SendText.h"

#include <windows.h>

namespace SendText {
namespace {

constexpr wchar_t kEscape = L'\\';
constexpr size_t kHexDigits = 2;
constexpr wchar_t kFirstPrintable = L' ';
constexpr wchar_t kLastPrintable = L'~';
constexpr wchar_t kHexLetters[] = L"0123456789ABCDEF";

struct SimpleEscape {
    wchar_t letter;
    char byte;
};
constexpr SimpleEscape kSimpleEscapes[] = {{L'r', '\r'}, {L'n', '\n'}, {L't', '\t'}, {L'\\', '\\'}, {L'0', '\0'}};

int HexValue(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

// Characters the code page lacks become its default character, as they do for typed keys.
void AppendAnsi(const wchar_t* text, size_t count, std::string& bytes) {
    if (count == 0)
        return;
    const int size = WideCharToMultiByte(CP_ACP, 0, text, int(count), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return;
    const size_t at = bytes.size();
    bytes.resize(at + size_t(size));
    WideCharToMultiByte(CP_ACP, 0, text, int(count), &bytes[at], size, nullptr, nullptr);
}

bool Fail(Error& error, Problem problem, size_t position, size_t length) {
    error = {problem, position, length};
    return false;
}

// The escape at text[at] (a backslash); false with error set for a fault. next: the first character after it.
bool DecodeEscape(const std::wstring& text, size_t at, std::string& bytes, size_t& next, Error& error) {
    if (at + 1 >= text.size())
        return Fail(error, Problem::LoneBackslash, at, 1);
    const wchar_t kind = text[at + 1];
    for (const SimpleEscape& escape : kSimpleEscapes)
        if (kind == escape.letter) {
            bytes += escape.byte;
            next = at + 2;
            return true;
        }
    if (kind != L'x')
        return Fail(error, Problem::UnknownEscape, at, 2);
    const int high = at + 2 < text.size() ? HexValue(text[at + 2]) : -1;
    const int low = at + 3 < text.size() ? HexValue(text[at + 3]) : -1;
    if (high < 0 || low < 0)
        return Fail(error, Problem::ShortHexEscape, at, text.size() - at < 4 ? text.size() - at : 4);
    bytes += char(high << 4 | low);
    next = at + 2 + kHexDigits;
    return true;
}

} // namespace

bool DecodeEscapes(const std::wstring& text, std::string& bytes, Error& error) {
    std::string decoded;
    size_t runStart = 0;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] != kEscape) {
            ++at;
            continue;
        }
        // Runs of ordinary characters are converted whole, so a character made of two UTF-16 units stays one.
        AppendAnsi(text.data() + runStart, at - runStart, decoded);
        if (!DecodeEscape(text, at, decoded, at, error))
            return false;
        runStart = at;
    }
    AppendAnsi(text.data() + runStart, text.size() - runStart, decoded);
    bytes.swap(decoded);
    return true;
}

bool ParseHexBytes(const std::wstring& text, std::string& bytes, Error& error) {
    std::string parsed;
    size_t at = 0;
    while (at < text.size()) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        const size_t groupStart = at;
        while (at < text.size() && !IsBlank(text[at])) {
            if (HexValue(text[at]) < 0)
                return Fail(error, Problem::NotHexDigit, at, 1);
            ++at;
        }
        if ((at - groupStart) % kHexDigits != 0)
            return Fail(error, Problem::HalfByte, groupStart, at - groupStart);
        for (size_t digit = groupStart; digit < at; digit += kHexDigits)
            parsed += char(HexValue(text[digit]) << 4 | HexValue(text[digit + 1]));
    }
    bytes.swap(parsed);
    return true;
}

const wchar_t* Reason(Problem problem) {
    switch (problem) {
    case Problem::None:
        return L"";
    case Problem::UnknownEscape:
        return L"unknown escape (known: \\r \\n \\t \\\\ \\0 \\xHH)";
    case Problem::LoneBackslash:
        return L"a backslash at the end needs a letter after it (\\\\ for the backslash itself)";
    case Problem::ShortHexEscape:
        return L"\\x needs two hexadecimal digits";
    case Problem::NotHexDigit:
        return L"not a hexadecimal digit";
    case Problem::HalfByte:
        return L"a byte needs two hexadecimal digits";
    }
    return L"";
}

std::wstring EscapeBytes(const std::string& bytes) {
    std::wstring text;
    for (char value : bytes) {
        const unsigned char byte = static_cast<unsigned char>(value);
        bool simple = false;
        for (const SimpleEscape& escape : kSimpleEscapes)
            if (value == escape.byte) {
                text += kEscape;
                text += escape.letter;
                simple = true;
                break;
            }
        if (simple)
            continue;
        if (byte >= kFirstPrintable && byte <= kLastPrintable) {
            text += wchar_t(byte);
        } else {
            text += L"\\x";
            text += kHexLetters[byte >> 4];
            text += kHexLetters[byte & 0xF];
        }
    }
    return text;
}

std::wstring FormatHexBytes(const std::string& bytes) {
    std::wstring text;
    for (char value : bytes) {
        const unsigned char byte = static_cast<unsigned char>(value);
        if (!text.empty())
            text += L' ';
        text += kHexLetters[byte >> 4];
        text += kHexLetters[byte & 0xF];
    }
    return text;
}

} // namespace SendText
