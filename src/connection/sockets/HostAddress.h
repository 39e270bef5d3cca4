#pragma once
// Turning a host text into the socket address the socket layer connects or binds to.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

class HostAddress {
public:
    bool Set(const sockaddr* address, size_t length);
    void SetPort(uint16_t port);
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    int Length() const { return m_length; }
    int Family() const { return m_address.ss_family; }

private:
    sockaddr_storage m_address = {};
    int m_length = 0;
};

// The first address of host, with port set. The system's lookups are tried in turn: the wide-text one, the
// narrow-text one (each where the system has it), then the text as a numeric address (IPv4 when it contains a
// '.', IPv6 otherwise), then as a dotted IPv4 address. False when none gives an address.
bool ResolveHost(const wchar_t* host, uint16_t port, HostAddress& out);
