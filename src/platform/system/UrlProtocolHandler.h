#pragma once
// Hands a link to the system's URL protocol handler, which opens it with the program registered for its scheme
// (a web browser for http and https).
#include <windows.h>

namespace UrlProtocolHandler {

// Longer links are refused: they would not fit the handler's command line.
constexpr size_t kMaxLinkLength = 4096;

// "rundll32.exe url.dll,FileProtocolHandler LINK" with the verb "open". False when the link is empty, too long,
// holds a character that would end it early on the command line, or the program could not be started.
bool Open(const wchar_t* link);

} // namespace UrlProtocolHandler
