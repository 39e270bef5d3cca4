#pragma once
// Real socket peers for the transport tests, on 127.0.0.1 only: a TCP server that serves one connection with a
// script on its own thread, and datagram helpers. Every blocking call has a limit, so a peer stops by itself
// when a test goes wrong.
//
// A socket is never closed while another thread may be waiting on it: Wine 8's server can fail an assertion and
// die when a socket goes away under a pending poll, which hangs every program of the prefix. The server's thread
// therefore waits in short slices, looking at its stop flag in between.
#include <winsock2.h>

#include <windows.h>

#include "platform/system/Handles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

constexpr DWORD kPeerTimeoutMs = 20000;

class WinsockSession {
public:
    WinsockSession() { m_started = WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
    ~WinsockSession() {
        if (m_started)
            WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    WSADATA m_data{};
    bool m_started = false;
};

class LoopbackTcpServer {
public:
    using Script = std::function<void(SOCKET client, LoopbackTcpServer& server)>;

    // Listens on a free loopback port and accepts one connection on its own thread, then runs script.
    explicit LoopbackTcpServer(Script script);
    // Stops the thread (a script still waiting gives up) before closing anything.
    ~LoopbackTcpServer();
    LoopbackTcpServer(const LoopbackTcpServer&) = delete;
    LoopbackTcpServer& operator=(const LoopbackTcpServer&) = delete;

    uint16_t Port() const { return m_port; }
    bool Accepted() const { return m_accepted; }
    bool Finished() const { return m_finished; }
    // Lets the script's next AwaitStep return.
    void Step() { ReleaseSemaphore(m_steps.Get(), 1, nullptr); }
    // For the script: waits for the test's Step; false when the test never gives it.
    bool AwaitStep() { return WaitForSingleObject(m_steps.Get(), kPeerTimeoutMs) == WAIT_OBJECT_0 && !m_stopping; }
    // For the script: receives until count bytes have come, the test stops the server, the client closes or the
    // limit passes; returns what came.
    std::string Receive(SOCKET client, size_t count);
    // For the script: what it received, for the test to read afterwards.
    void Record(const std::string& bytes);
    std::string Recorded() const;

private:
    void Run(Script script);

    WinsockSession m_session;
    SOCKET m_listener = INVALID_SOCKET;
    uint16_t m_port = 0;
    C_Handle m_steps;
    std::atomic<bool> m_accepted{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::string m_recorded;
    std::thread m_thread;
};

bool SendAll(SOCKET socket, const std::string& bytes);

// A loopback port that nothing listens on (bound once to find it, then released).
uint16_t UnusedLoopbackPort(int type = SOCK_STREAM);
bool SendDatagram(uint16_t port, const std::string& bytes);
