#include "connection/sockets/SocketTransport.h"

#include "connection/sockets/SocketText.h"

namespace {

constexpr WORD kSocketLibraryVersion = MAKEWORD(2, 2);

} // namespace

C_SocketTransport::~C_SocketTransport() {
    Stop();
}

bool C_SocketTransport::Start() {
    ForgetSocket();
    if (m_libraryStarted)
        return true;
    WSADATA data;
    m_libraryStarted = WSAStartup(kSocketLibraryVersion, &data) == 0;
    return m_libraryStarted;
}

void C_SocketTransport::Stop() {
    if (!m_libraryStarted)
        return;
    m_layer.CloseAll();
    ForgetSocket();
    WSACleanup();
    m_libraryStarted = false;
}

bool C_SocketTransport::Open(const wchar_t* target, C_String& description) {
    m_host.ShowStatus(STATUS_OPENING, target);
    m_name.Set(target ? target : L"");
    description.Assign(L"");
    C_String host;
    uint16_t port = 0;
    if (!CrackUrl(target, m_kind.defaultPort, host, port))
        return false;
    if (!m_layer.Init(m_kind.socketFlags, &C_SocketTransport::OnSocketEvent, this, m_host.GetMainWindow(),
                      m_kind.message))
        return false;
    return m_layer.Connect(host.c_str(), port, kSocketTimeoutMs);
}

void C_SocketTransport::Close() {
    m_layer.CloseAll();
    ForgetSocket();
}

bool C_SocketTransport::ReadStep() {
    bool timedOut = false;
    const DWORD wait = m_host.HasPendingLine() ? kPendingLineWaitMs : INFINITE;
    if (!WaitForEvent(m_host.GetDataEvent(), wait, &timedOut)) {
        if (timedOut)
            m_host.GetReceiveSink().FlushIfIdle();
        else
            Sleep(kWaitFailureBackOffMs);
        return true;
    }
    if (m_peerClosed) {
        ReadToPeerClose();
        return true;
    }
    uint8_t block[kReceiveBlockSize];
    const int count = m_layer.Receive(m_socket, block, sizeof block);
    if (count > 0)
        HandleBlock(block, uint32_t(count));
    return true;
}

// The peer sends nothing more, so what is left is finite, and no notification need announce the last of it: it is
// all read now. A local close that came meanwhile has taken the socket already, and then nothing is posted.
void C_SocketTransport::ReadToPeerClose() {
    const SOCKET socket = m_socket;
    uint8_t block[kReceiveBlockSize];
    for (int count; (count = m_layer.Receive(socket, block, sizeof block)) > 0;)
        HandleBlock(block, uint32_t(count));
    SOCKET expected = socket;
    if (socket == INVALID_SOCKET || !m_socket.compare_exchange_strong(expected, INVALID_SOCKET))
        return;
    m_peerClosed = false;
    if (!m_layer.Owns(socket))
        return;
    m_layer.CloseSocket(socket);
    OnPeerCloseRead();
}

// Close on the command thread takes the socket out of the layer and then clears the field; if that happened
// between the layer's check and this store, the check here puts the field back to none.
void C_SocketTransport::AdoptSocket(SOCKET socket) {
    m_peerClosed = false;
    m_socket = socket;
    if (!m_layer.Owns(socket)) {
        SOCKET expected = socket;
        m_socket.compare_exchange_strong(expected, INVALID_SOCKET);
    }
}

void C_SocketTransport::SignalData() {
    if (HANDLE event = m_host.GetDataEvent())
        SetEvent(event);
}

void C_SocketTransport::NotePeerClosed() {
    m_peerClosed = true;
    SignalData();
}

void C_SocketTransport::OnSocketEvent(void* context, C_AsyncSocket::Event event, SOCKET socket, int) {
    static_cast<C_SocketTransport*>(context)->HandleEvent(event, socket);
}
