#pragma once
// C_TcpTransport: a "tcp://host[:port]" target, such as a serial-to-network converter or a Telnet service. The
// terminal never answers Telnet negotiation; the negotiation that opens a received block is dropped.
#include "connection/sockets/SocketTransport.h"

constexpr UINT WM_TCP_SOCKET = WM_APP + 3;

class C_TcpTransport : public C_SocketTransport {
public:
    static constexpr uint16_t kDefaultPort = 23;
    // How long a send may wait for the peer to make room before the rest of the text is given up.
    static constexpr DWORD kSendRoomTimeoutMs = 1000;

    explicit C_TcpTransport(C_TransportHost& host);

    // Sends the bytes whole: when the socket's buffer is full, the rest goes once the socket reports room again
    // (a write-ready event, so the user-interface thread must be dispatching).
    bool Write(const uint8_t* bytes, uint32_t size) override;

private:
    void HandleBlock(const uint8_t* block, uint32_t count) override;
    void HandleEvent(C_AsyncSocket::Event event, SOCKET socket) override;
    void OnPeerCloseRead() override;

    C_Handle m_sendRoom; // auto-reset; signalled by write-ready events and by the end of the connection
};
