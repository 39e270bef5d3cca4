#pragma once
// The clipboard's UTF-16 text. The clipboard is opened for one call at a time and never kept open.
#include <windows.h>

#include <cstdint>
#include <string>

namespace Clipboard {

// Replaces the clipboard's contents by the text (CF_UNICODETEXT). False when the clipboard could not be opened
// (another program holds it) or the memory not be had.
bool SetText(HWND owner, const wchar_t* text, size_t length);

// The clipboard's text; false when it holds none (or cannot be opened).
bool GetText(HWND owner, std::wstring& text);

} // namespace Clipboard
