#pragma once
// When a paste asks first: a clipboard of more than one line, or of more than kQuietBytes, is seldom meant for
// the device whole. A single short line goes at once, as typing would send it.
#include <cstdint>

namespace PasteGuard {

constexpr uint64_t kQuietBytes = 4096;

struct Size {
    uint64_t lines = 0; // a CR LF is one line end; text after the last line end is a line too
    uint64_t bytes = 0; // as sent: in the ANSI code page
};

Size Measure(const wchar_t* text);
bool NeedsQuestion(const Size& size);

} // namespace PasteGuard
