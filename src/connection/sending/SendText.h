#pragma once
// What a user writes to be sent, turned into the exact bytes the device receives. Text goes out in the ANSI code
// page, as typed keys do, with the escapes \r \n \t \\ \0 and \xHH for bytes a keyboard cannot type; hex bytes
// ("01 02 ff") are for protocols that are bytes rather than text. The send bar, velto-cli and scripts share
// these rules, so a command line and the field accept the same things.
#include <cstddef>
#include <string>

namespace SendText {

enum class Problem {
    None,
    UnknownEscape,  // a backslash before anything but r n t \ 0 x
    LoneBackslash,  // the text ends with a backslash
    ShortHexEscape, // \x without two hexadecimal digits after it
    NotHexDigit,    // hex bytes: a character that is neither a hexadecimal digit nor a blank
    HalfByte,       // hex bytes: a group of digits of odd length
};

// Where the text is wrong: the first character concerned and how many characters the fault spans.
struct Error {
    Problem problem = Problem::None;
    size_t position = 0;
    size_t length = 0;
};

// False with error set, and bytes left alone, when the text holds a fault.
bool DecodeEscapes(const std::wstring& text, std::string& bytes, Error& error);
// Pairs of hexadecimal digits in either letter case; blanks (spaces, tabs) between bytes are optional, so
// "0102ff" and "01 02 FF" are the same three bytes.
bool ParseHexBytes(const std::wstring& text, std::string& bytes, Error& error);

// One line in English for velto-cli and logs; the program shows its own translations.
const wchar_t* Reason(Problem problem);

// The reverse of the two, for a field that switches its mode: DecodeEscapes(EscapeBytes(b)) and
// ParseHexBytes(FormatHexBytes(b)) give b again. Printable ASCII stays as it is in escaped text; everything
// else becomes an escape, so no byte depends on the code page.
std::wstring EscapeBytes(const std::string& bytes);
std::wstring FormatHexBytes(const std::string& bytes);

} // namespace SendText
