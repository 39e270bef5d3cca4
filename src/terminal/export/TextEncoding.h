#pragma once
// How the program writes its text files (Save as text, the text log): in the ANSI code page, as it always did, or
// as UTF-8 that starts with a byte-order mark, so every character survives and editors that guess the encoding
// from the first bytes read it right.
#include <windows.h>

#include <cstdint>

enum class TextFileEncoding { AnsiCodePage, Utf8WithBom };

namespace TextEncoding {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr uint32_t kUtf8BomLength = 3;

inline UINT CodePageOf(TextFileEncoding encoding) {
    return encoding == TextFileEncoding::Utf8WithBom ? CP_UTF8 : CP_ACP;
}

} // namespace TextEncoding
