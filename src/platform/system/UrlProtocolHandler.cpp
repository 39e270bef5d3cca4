#include "platform/system/UrlProtocolHandler.h"

#include <shellapi.h>

#include <string>

namespace {

constexpr const wchar_t* kProgram = L"rundll32.exe";
constexpr const wchar_t* kVerb = L"open";
constexpr const wchar_t* kArgumentsPrefix = L"url.dll,FileProtocolHandler ";

// The handler takes the rest of its command line as the link; blanks, quotes and control characters would make
// it something else than what was shown.
bool FitsCommandLine(const wchar_t* link, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (link[i] <= L' ' || link[i] == L'"')
            return false;
    return true;
}

} // namespace

namespace UrlProtocolHandler {

bool Open(const wchar_t* link) {
    if (!link)
        return false;
    size_t length = wcslen(link);
    if (!length || length > kMaxLinkLength || !FitsCommandLine(link, length))
        return false;
    std::wstring arguments = kArgumentsPrefix;
    arguments.append(link, length);
    auto result = ShellExecuteW(nullptr, kVerb, kProgram, arguments.c_str(), nullptr, SW_SHOWDEFAULT);
    // ShellExecute reports success as a value above 32.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace UrlProtocolHandler
