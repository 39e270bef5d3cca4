#include "LoopbackPeer.h"

namespace {

constexpr long kMaxSteps = 64;
constexpr DWORD kWaitSliceMs = 20;

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

bool IsReadable(SOCKET socket, DWORD timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout = {long(timeoutMs / 1000), long(timeoutMs % 1000 * 1000)};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

} // namespace

LoopbackTcpServer::LoopbackTcpServer(Script script) {
    m_steps.Reset(CreateSemaphoreW(nullptr, 0, kMaxSteps, nullptr));
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = LoopbackAddress(0);
    int length = sizeof address;
    if (m_listener == INVALID_SOCKET || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        listen(m_listener, 1) || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length))
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, script] { Run(script); });
}

LoopbackTcpServer::~LoopbackTcpServer() {
    m_stopping = true;
    ReleaseSemaphore(m_steps.Get(), kMaxSteps / 2, nullptr);
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != INVALID_SOCKET)
        closesocket(m_listener);
}

void LoopbackTcpServer::Run(Script script) {
    const DWORD start = GetTickCount();
    while (!IsReadable(m_listener, kWaitSliceMs)) {
        if (m_stopping || GetTickCount() - start >= kPeerTimeoutMs) {
            m_finished = true;
            return;
        }
    }
    SOCKET client = accept(m_listener, nullptr, nullptr);
    if (client != INVALID_SOCKET) {
        const DWORD limit = kPeerTimeoutMs;
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
        m_accepted = true;
        script(client, *this);
        closesocket(client);
    }
    m_finished = true;
}

std::string LoopbackTcpServer::Receive(SOCKET client, size_t count) {
    std::string received;
    const DWORD start = GetTickCount();
    char buffer[65536];
    while (received.size() < count && !m_stopping && GetTickCount() - start < kPeerTimeoutMs) {
        if (!IsReadable(client, kWaitSliceMs))
            continue;
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        received.append(buffer, size_t(got));
    }
    return received;
}

void LoopbackTcpServer::Record(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_recorded += bytes;
}

std::string LoopbackTcpServer::Recorded() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_recorded;
}

bool SendAll(SOCKET socket, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int sent = send(socket, bytes.data() + done, int(bytes.size() - done), 0);
        if (sent <= 0)
            return false;
        done += size_t(sent);
    }
    return true;
}

uint16_t UnusedLoopbackPort(int type) {
    WinsockSession session;
    SOCKET probe = socket(AF_INET, type, 0);
    sockaddr_in address = LoopbackAddress(0);
    int length = sizeof address;
    uint16_t port = 0;
    if (probe != INVALID_SOCKET && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (probe != INVALID_SOCKET)
        closesocket(probe);
    return port;
}

bool SendDatagram(uint16_t port, const std::string& bytes) {
    WinsockSession session;
    SOCKET sender = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (sender == INVALID_SOCKET)
        return false;
    sockaddr_in address = LoopbackAddress(port);
    const int sent =
        sendto(sender, bytes.data(), int(bytes.size()), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    closesocket(sender);
    return sent == int(bytes.size());
}
