#include "connection/sockets/AsyncSocket.h"

#include "connection/sockets/HostAddress.h"

namespace {

// Everything the system can report; out-of-band data and accepts are asked for but not acted upon.
constexpr long kNotifications = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

void SetSocketTimeouts(SOCKET socket, DWORD timeoutMs) {
    const char* value = reinterpret_cast<const char*>(&timeoutMs);
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, value, sizeof timeoutMs);
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, value, sizeof timeoutMs);
}

} // namespace

C_AsyncSocket::~C_AsyncSocket() {
    m_subClassing.Restore();
    CloseAll();
}

bool C_AsyncSocket::Init(uint32_t flags, Callback callback, void* context, HWND window, UINT message) {
    if (m_initialised)
        return true;
    if (!m_idleEvent) {
        m_idleEvent = CreateManualResetEvent();
        if (!m_idleEvent)
            return false;
        SetEvent(m_idleEvent.Get());
    }
    m_flags = flags;
    m_callback = callback;
    m_context = context;
    m_window = window;
    m_message = message;
    if (!m_subClassing.Attach(window, kSubClassTag, message, this))
        return false;
    m_initialised = true;
    return true;
}

bool C_AsyncSocket::ChooseSocketType(int& type, int& protocol) const {
    if (m_flags & FLAG_RAW) {
        type = SOCK_RAW;
        protocol = 0;
    } else if (m_flags & FLAG_STREAM) {
        type = SOCK_STREAM;
        protocol = IPPROTO_TCP;
    } else if (m_flags & FLAG_DATAGRAM) {
        type = SOCK_DGRAM;
        protocol = IPPROTO_UDP;
    } else {
        return false;
    }
    return true;
}

bool C_AsyncSocket::Connect(const wchar_t* host, uint16_t port, DWORD timeoutMs, bool* outOfBuffers) {
    if (outOfBuffers)
        *outOfBuffers = false;
    int type = 0, protocol = 0;
    if (!m_initialised || !ChooseSocketType(type, protocol))
        return false;
    HostAddress address;
    if (!ResolveHost(host, port, address))
        return false;

    SOCKET socket = WSASocketW(address.Family(), type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
    if (socket == INVALID_SOCKET)
        return false;
    if (!AddSocket(socket)) {
        closesocket(socket);
        return false;
    }
    if (timeoutMs)
        SetSocketTimeouts(socket, timeoutMs);
    // A socket that cannot report its events, or a datagram socket that cannot have its address, is of no use:
    // it is closed at once rather than left to look open.
    if (WSAAsyncSelect(socket, m_window, m_message, kNotifications) != 0) {
        CloseSocket(socket);
        return false;
    }
    if (m_flags & FLAG_BIND) {
        if (bind(socket, address.Get(), address.Length()) == 0)
            return true;
        CloseSocket(socket);
        return false;
    }
    if (connect(socket, address.Get(), address.Length()) == 0)
        return true;
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return true; // in progress: the outcome arrives as a notification
    if (error == WSAENOBUFS && outOfBuffers)
        *outOfBuffers = true;
    if (error != WSAENOBUFS && error != WSAECONNREFUSED)
        CloseSocket(socket);
    return false;
}

int C_AsyncSocket::Send(SOCKET socket, const void* data, int length) {
    const int sent = send(socket, static_cast<const char*>(data), length, 0);
    return sent > 0 ? sent : 0;
}

int C_AsyncSocket::Receive(SOCKET socket, void* buffer, int size) {
    const int received = recv(socket, static_cast<char*>(buffer), size, 0);
    return received > 0 ? received : 0;
}

void C_AsyncSocket::CloseSocket(SOCKET socket) {
    if (RemoveSocket(socket))
        closesocket(socket);
}

void C_AsyncSocket::CloseAll() {
    for (;;) {
        SOCKET socket = INVALID_SOCKET;
        {
            C_Lock hold(m_lock);
            if (m_socketCount == 0)
                return;
            socket = m_sockets[m_socketCount - 1];
        }
        CloseSocket(socket);
    }
}

uint32_t C_AsyncSocket::GetSocketCount() const {
    C_Lock hold(m_lock);
    return m_socketCount;
}

bool C_AsyncSocket::Owns(SOCKET socket) const {
    C_Lock hold(m_lock);
    for (uint32_t i = 0; i < m_socketCount; ++i)
        if (m_sockets[i] == socket)
            return true;
    return false;
}

bool C_AsyncSocket::AddSocket(SOCKET socket) {
    C_Lock hold(m_lock);
    if (m_socketCount == kMaxSockets)
        return false;
    m_sockets[m_socketCount++] = socket;
    ResetEvent(m_idleEvent.Get());
    return true;
}

bool C_AsyncSocket::RemoveSocket(SOCKET socket) {
    C_Lock hold(m_lock);
    for (uint32_t i = 0; i < m_socketCount; ++i) {
        if (m_sockets[i] != socket)
            continue;
        m_sockets[i] = m_sockets[--m_socketCount];
        if (m_socketCount == 0)
            SetEvent(m_idleEvent.Get());
        return true;
    }
    return false;
}

// A notification may still be queued for a socket that the command thread has closed since; it is dropped. The
// callback runs without the lock (it posts commands, which take locks of their own), so a socket can still be
// closed while its event is being delivered: callbacks that keep the socket confirm it with Owns afterwards.
LRESULT C_AsyncSocket::OnSubClassMessage(HWND, UINT, WPARAM wParam, LPARAM lParam) {
    const SOCKET socket = SOCKET(wParam);
    const int error = WSAGETSELECTERROR(lParam);
    if (!Owns(socket))
        return 0;
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ:
        Deliver(EVENT_READABLE, socket, error);
        break;
    case FD_WRITE:
        Deliver(EVENT_WRITABLE, socket, error);
        break;
    case FD_CONNECT:
        if (error == 0) {
            Deliver(EVENT_CONNECTED, socket, 0);
            break;
        }
        Deliver(EVENT_CONNECT_FAILED, socket, error);
        CloseSocket(socket);
        break;
    case FD_CLOSE:
        // What the peer sent before it closed may not have been read yet, and closing the socket here would lose
        // it; the system says to read on after this notification.
        Deliver(EVENT_CLOSED, socket, error);
        break;
    default:
        break;
    }
    return 0;
}

void C_AsyncSocket::Deliver(Event event, SOCKET socket, int error) {
    if (m_callback)
        m_callback(m_context, event, socket, error);
}
