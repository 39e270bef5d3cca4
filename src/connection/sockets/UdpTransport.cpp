#include "connection/sockets/UdpTransport.h"

#include "connection/sockets/SocketText.h"

#include <cstring>

C_UdpTransport::C_UdpTransport(C_TransportHost& host)
    : C_SocketTransport(host, {C_AsyncSocket::FLAG_DATAGRAM | C_AsyncSocket::FLAG_BIND, WM_UDP_SOCKET, kDefaultPort}) {}

void C_UdpTransport::HandleBlock(const uint8_t* block, uint32_t count) {
    C_ReceiveSink& sink = m_host.GetReceiveSink();
    C_String text, line;
    if (text.AssignMultiByte(reinterpret_cast<const char*>(block), count, false, CP_ACP) &&
        RenderLog4jEvent(text, line)) {
        if (const char* bytes = line.ToMultiByte()) {
            sink.ProcessReceivedData(reinterpret_cast<const uint8_t*>(bytes), uint32_t(strlen(bytes)));
            return;
        }
    }
    sink.ProcessReceivedData(block, count);
}

void C_UdpTransport::HandleEvent(C_AsyncSocket::Event event, SOCKET socket) {
    if (event == C_AsyncSocket::EVENT_READABLE) {
        AdoptSocket(socket);
        SignalData();
    } else if (event == C_AsyncSocket::EVENT_WRITABLE) {
        AdoptSocket(socket);
    }
}
