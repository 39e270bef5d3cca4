#pragma once
// C_UdpTransport: a "udp://address[:port]" target on which the terminal listens for log records; it never
// sends. A datagram that is a log4j XML event is shown as one line "level|logger|message", anything else as
// it came.
#include "connection/sockets/SocketTransport.h"

constexpr UINT WM_UDP_SOCKET = WM_APP + 4;

class C_UdpTransport : public C_SocketTransport {
public:
    static constexpr uint16_t kDefaultPort = 9999;

    explicit C_UdpTransport(C_TransportHost& host);

    // The transport only listens: typed text goes nowhere.
    bool Write(const uint8_t*, uint32_t) override { return false; }

private:
    // A datagram longer than the receive block fails to be received and is not shown.
    void HandleBlock(const uint8_t* block, uint32_t count) override;
    // The bound socket becomes known with its first notification.
    void HandleEvent(C_AsyncSocket::Event event, SOCKET socket) override;
};
