#include "connection/sockets/TcpTransport.h"

#include "connection/sockets/SocketText.h"

C_TcpTransport::C_TcpTransport(C_TransportHost& host)
    : C_SocketTransport(host, {C_AsyncSocket::FLAG_STREAM, WM_TCP_SOCKET, kDefaultPort}),
      m_sendRoom(CreateAutoResetEvent()) {}

// The socket does not block, so a full send buffer takes part of a text or none of it; dropping the rest would
// lose what the user typed or pasted. Waiting for the write-ready event rather than polling the socket keeps
// this thread off a socket that the user-interface thread may close meanwhile.
bool C_TcpTransport::Write(const uint8_t* bytes, uint32_t size) {
    const SOCKET socket = GetSocket();
    if (socket == INVALID_SOCKET)
        return false;
    const char* next = reinterpret_cast<const char*>(bytes);
    uint32_t remaining = bytes ? size : 0;
    while (remaining > 0) {
        const int sent = m_layer.Send(socket, next, int(remaining));
        if (sent > 0) {
            next += sent;
            remaining -= uint32_t(sent);
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitForEvent(m_sendRoom.Get(), kSendRoomTimeoutMs))
            return false;
    }
    return true;
}

void C_TcpTransport::HandleBlock(const uint8_t* block, uint32_t count) {
    const uint32_t offset = SkipTelnetNegotiation(block, count);
    m_host.GetReceiveSink().ProcessReceivedData(block + offset, count - offset);
}

void C_TcpTransport::OnPeerCloseRead() {
    SetEvent(m_sendRoom.Get()); // a waiting send finds the socket gone
    C_SocketTransport::OnPeerCloseRead();
}

void C_TcpTransport::HandleEvent(C_AsyncSocket::Event event, SOCKET socket) {
    switch (event) {
    case C_AsyncSocket::EVENT_CONNECTED:
        AdoptSocket(socket);
        break;
    case C_AsyncSocket::EVENT_CONNECT_FAILED:
        ForgetSocket();
        SetEvent(m_sendRoom.Get()); // a waiting send finds the socket gone
        m_host.PostCloseTarget();
        break;
    case C_AsyncSocket::EVENT_CLOSED:
        NotePeerClosed();
        break;
    case C_AsyncSocket::EVENT_READABLE:
        SignalData();
        break;
    case C_AsyncSocket::EVENT_WRITABLE:
        SetEvent(m_sendRoom.Get());
        break;
    }
}
