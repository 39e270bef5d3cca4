#pragma once
// C_SocketTransport: what the TCP and UDP transports share. Each owns a socket layer that reports socket events
// on the user-interface thread; the event callbacks reach the reader only through the data event and the socket
// field, and the command thread only by posting CloseTarget. Subclasses decide what the events mean and what a
// received block becomes.
#include "connection/sockets/AsyncSocket.h"
#include "connection/transports/SharedName.h"
#include "connection/transports/Transport.h"

#include <atomic>
#include <cstdint>

class C_SocketTransport : public C_Transport {
public:
    static constexpr uint32_t kReceiveBlockSize = 1024;
    static constexpr DWORD kSocketTimeoutMs = 1000;
    static constexpr DWORD kPendingLineWaitMs = 20;
    // After a failed wait (not a time-out), so a broken event cannot make the reader spin.
    static constexpr DWORD kWaitFailureBackOffMs = 500;

    struct Kind {
        uint32_t socketFlags;
        UINT message;
        uint16_t defaultPort;
    };

    C_SocketTransport(C_TransportHost& host, const Kind& kind) : m_host(host), m_kind(kind) {}
    ~C_SocketTransport() override;

    bool Start() override;
    void Stop() override;
    // Written on the user-interface thread, read by the others: one machine word, no lock.
    bool IsOpen() const override { return m_socket != INVALID_SOCKET; }
    bool GetName(C_String& name) const override { return m_name.CopyTo(name); }
    // Whether a socket endpoint answers shows only once it is opened.
    bool Probe(const wchar_t*) override { return true; }
    // True means the socket exists: for TCP the connection is only under way, and a refusal arrives later as an
    // event that closes the connection again.
    bool Open(const wchar_t* target, C_String& description) override;
    void Close() override;
    // One receive per wake-up; the layer reports again while data remains. After the peer has closed, it reads
    // to the end and then ends the connection through CloseTarget.
    bool ReadStep() override;

    SOCKET GetSocket() const { return m_socket; }
    const C_AsyncSocket& GetSocketLayer() const { return m_layer; }

protected:
    // A received block (count > 0), on the reader thread.
    virtual void HandleBlock(const uint8_t* block, uint32_t count) = 0;
    // A socket event, on the user-interface thread.
    virtual void HandleEvent(C_AsyncSocket::Event event, SOCKET socket) = 0;

    // Makes socket the transport's socket, unless the command thread closed it meanwhile.
    void AdoptSocket(SOCKET socket);
    void ForgetSocket() {
        m_socket = INVALID_SOCKET;
        m_peerClosed = false;
    }
    void SignalData();
    // On the user-interface thread: the reader is to read what is left and then end the connection.
    void NotePeerClosed();
    // On the reader thread, once everything the peer sent has been read and its socket closed.
    virtual void OnPeerCloseRead() { m_host.PostCloseTarget(); }

    C_TransportHost& m_host;
    C_AsyncSocket m_layer;

private:
    static void OnSocketEvent(void* context, C_AsyncSocket::Event event, SOCKET socket, int error);
    void ReadToPeerClose();

    const Kind m_kind;
    std::atomic<SOCKET> m_socket{INVALID_SOCKET};
    std::atomic<bool> m_peerClosed{false};
    C_SharedName m_name;
    bool m_libraryStarted = false;
};
