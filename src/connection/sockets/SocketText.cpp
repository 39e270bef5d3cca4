#include "connection/sockets/SocketText.h"

#include "platform/system/SystemFunction.h"

#include <wininet.h>

namespace {

using CrackUrlFunction = BOOL(WINAPI*)(LPCWSTR url, DWORD length, DWORD flags, LPURL_COMPONENTSW components);

constexpr const wchar_t* kSchemeSeparator = L"://";
constexpr const wchar_t* kImpliedScheme = L"http://";
constexpr DWORD kHostCapacity = INTERNET_MAX_HOST_NAME_LENGTH + 1;

// log4j markers; each is searched ignoring case from the start of the event.
constexpr const wchar_t* kLevelStart = L"level=\"";
constexpr const wchar_t* kLoggerStart = L"<log4j:event logger=\"";
constexpr const wchar_t* kAttributeEnd = L"\"";
constexpr const wchar_t* kMessageStart = L"<log4j:message>";
constexpr const wchar_t* kMessageEnd = L"</log4j:message>";
// An empty message element; whatever stands between it and the next tag is taken as the message.
constexpr const wchar_t* kEmptyMessage = L"<log4j:message />";
constexpr const wchar_t* kNextTag = L"<";
constexpr const wchar_t* kFieldSeparator = L"|";
constexpr const wchar_t* kLineEnd = L"\r\n";

bool IsNegotiationVerb(uint8_t byte) {
    return byte == Telnet::kWill || byte == Telnet::kWont || byte == Telnet::kDo || byte == Telnet::kDont;
}

} // namespace

bool CrackUrl(const wchar_t* target, uint16_t defaultPort, C_String& host, uint16_t& port) {
    host.Assign(L"");
    port = defaultPort;
    const auto crack = LookupSystemFunction<CrackUrlFunction>(L"wininet.dll", "InternetCrackUrlW");
    if (!crack)
        return false;
    C_String url;
    if (!target || !wcsstr(target, kSchemeSeparator))
        url.Assign(kImpliedScheme);
    url.Append(target ? target : L"");

    wchar_t hostName[kHostCapacity] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = hostName;
    parts.dwHostNameLength = kHostCapacity;
    if (!crack(url.c_str(), 0, 0, &parts))
        return true;
    // An IPv6 literal comes back in the brackets that set it apart from the port; no address lookup takes them.
    const wchar_t* start = hostName;
    DWORD length = parts.dwHostNameLength;
    if (length >= 2 && start[0] == L'[' && start[length - 1] == L']') {
        ++start;
        length -= 2;
    }
    host.Assign(start, length);
    if (parts.nPort != 0)
        port = parts.nPort;
    return true;
}

uint32_t SkipTelnetNegotiation(const uint8_t* block, uint32_t length) {
    uint32_t offset = 0;
    if (!block)
        return 0;
    while (offset + Telnet::kCommandLength <= length && block[offset] == Telnet::kIac &&
           IsNegotiationVerb(block[offset + 1]))
        offset += Telnet::kCommandLength;
    return offset;
}

bool RenderLog4jEvent(const C_String& text, C_String& line) {
    C_String level, logger, message;
    if (text.ExtractBetween(kLevelStart, kAttributeEnd, &level) < 0 ||
        text.ExtractBetween(kLoggerStart, kAttributeEnd, &logger) < 0)
        return false;
    if (text.ExtractBetween(kMessageStart, kMessageEnd, &message) < 0 &&
        text.ExtractBetween(kEmptyMessage, kNextTag, &message) < 0)
        return false;
    line.Assign(level);
    line.AppendWithSeparator(logger.c_str(), kFieldSeparator);
    line.AppendWithSeparator(message.c_str(), kFieldSeparator);
    line.Append(kLineEnd);
    return true;
}
