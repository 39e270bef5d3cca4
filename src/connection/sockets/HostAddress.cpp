#include "connection/sockets/HostAddress.h"

#include "foundation/base/TextString.h"
#include "platform/system/SystemFunction.h"

#include <cstring>

namespace {

using GetAddrInfoWFunction = INT(WSAAPI*)(PCWSTR node, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result);
using FreeAddrInfoWFunction = VOID(WSAAPI*)(PADDRINFOW info);
using GetAddrInfoFunction = INT(WSAAPI*)(PCSTR node, PCSTR service, const ADDRINFOA* hints, PADDRINFOA* result);
using FreeAddrInfoFunction = VOID(WSAAPI*)(PADDRINFOA info);
using InetPtonWFunction = INT(WSAAPI*)(INT family, PCWSTR text, PVOID address);

constexpr const wchar_t* kSocketLibrary = L"ws2_32.dll";

bool LookUpWide(const wchar_t* host, HostAddress& out, bool& available) {
    const auto lookUp = LookupSystemFunction<GetAddrInfoWFunction>(kSocketLibrary, "GetAddrInfoW");
    const auto release = LookupSystemFunction<FreeAddrInfoWFunction>(kSocketLibrary, "FreeAddrInfoW");
    available = lookUp && release;
    if (!available)
        return false;
    ADDRINFOW hints = {};
    hints.ai_family = AF_UNSPEC;
    ADDRINFOW* found = nullptr;
    if (lookUp(host, nullptr, &hints, &found) != 0 || !found)
        return false;
    const bool ok = out.Set(found->ai_addr, found->ai_addrlen);
    release(found);
    return ok;
}

bool LookUpNarrow(const char* host, HostAddress& out, bool& available) {
    const auto lookUp = LookupSystemFunction<GetAddrInfoFunction>(kSocketLibrary, "getaddrinfo");
    const auto release = LookupSystemFunction<FreeAddrInfoFunction>(kSocketLibrary, "freeaddrinfo");
    available = lookUp && release;
    if (!available)
        return false;
    ADDRINFOA hints = {};
    hints.ai_family = AF_UNSPEC;
    ADDRINFOA* found = nullptr;
    if (lookUp(host, nullptr, &hints, &found) != 0 || !found)
        return false;
    const bool ok = out.Set(found->ai_addr, found->ai_addrlen);
    release(found);
    return ok;
}

bool ConvertNumeric(const wchar_t* host, HostAddress& out) {
    const auto convert = LookupSystemFunction<InetPtonWFunction>(kSocketLibrary, "InetPtonW");
    if (!convert)
        return false;
    if (wcschr(host, L'.')) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        return convert(AF_INET, host, &address.sin_addr) == 1 &&
               out.Set(reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    sockaddr_in6 address = {};
    address.sin6_family = AF_INET6;
    return convert(AF_INET6, host, &address.sin6_addr) == 1 &&
           out.Set(reinterpret_cast<sockaddr*>(&address), sizeof address);
}

bool ConvertDotted(const char* host, HostAddress& out) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr(host);
    if (address.sin_addr.s_addr == INADDR_NONE)
        return false;
    return out.Set(reinterpret_cast<sockaddr*>(&address), sizeof address);
}

} // namespace

bool HostAddress::Set(const sockaddr* address, size_t length) {
    if (!address || length == 0 || length > sizeof m_address)
        return false;
    memset(&m_address, 0, sizeof m_address);
    memcpy(&m_address, address, length);
    m_length = int(length);
    return true;
}

void HostAddress::SetPort(uint16_t port) {
    if (m_address.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&m_address)->sin_port = htons(port);
    else if (m_address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&m_address)->sin6_port = htons(port);
}

bool ResolveHost(const wchar_t* host, uint16_t port, HostAddress& out) {
    if (!host || !*host)
        return false;
    C_String narrowHost;
    narrowHost.Assign(host);
    const char* narrow = narrowHost.ToMultiByte();
    // A lookup that exists but finds nothing is final; only a missing one lets the next way be tried.
    bool available = false;
    bool found = LookUpWide(host, out, available);
    if (!found && !available)
        found = narrow && LookUpNarrow(narrow, out, available);
    if (!found && !available)
        found = ConvertNumeric(host, out) || (narrow && ConvertDotted(narrow, out));
    if (found)
        out.SetPort(port);
    return found;
}
