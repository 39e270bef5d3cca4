#pragma once
// C_AsyncSocket: the socket layer of the TCP and UDP transports. Sockets it creates are non-blocking and report
// their events as a window message to a window of the user-interface thread; the layer subclasses that window,
// turns each notification into one of five events and hands it to the owner's callback there. The owner's
// reader thread learns of them only through what the callback does (a data event, a socket field).
//
// Sockets are created on the command thread and closed there, on the user-interface thread when a connection
// attempt fails, or on the owner's reader thread once it has read what a peer sent before closing; the set of live
// sockets and their count are therefore kept under the layer's lock.

// The socket header goes before anything that includes the system header, which would bring the old one in.
#include <winsock2.h>

#include "connection/threads/Event.h"
#include "platform/system/SubClassing.h"

#include <cstdint>

class C_AsyncSocket : private C_SubClassTarget {
public:
    static constexpr uint32_t kSubClassTag = 0x6E656361;
    static constexpr uint32_t kMaxSockets = 32;

    enum Flags : uint32_t {
        FLAG_RAW = 1,
        FLAG_STREAM = 2,   // TCP
        FLAG_DATAGRAM = 4, // UDP
        FLAG_BIND = 8,     // bind to the address instead of connecting to it
    };

    enum Event : uint32_t {
        EVENT_CONNECTED = 0,
        EVENT_CONNECT_FAILED = 1, // the socket is closed after the callback
        EVENT_CLOSED = 2,         // by the peer; the owner reads what is left, then closes the socket
        EVENT_READABLE = 3,
        EVENT_WRITABLE = 4,
    };

    // Runs on the thread that owns the window. error is the system's error code for the event (0 for none).
    using Callback = void (*)(void* context, Event event, SOCKET socket, int error);

    C_AsyncSocket() = default;
    ~C_AsyncSocket();
    C_AsyncSocket(const C_AsyncSocket&) = delete;
    C_AsyncSocket& operator=(const C_AsyncSocket&) = delete;

    // The first call stores the values and subclasses window for message; later calls change nothing and
    // return true.
    bool Init(uint32_t flags, Callback callback, void* context, HWND window, UINT message);
    bool IsInitialised() const { return m_initialised; }

    // Creates a socket for host and port. Stream sockets connect (true also while the connection is still in
    // progress: its outcome arrives as EVENT_CONNECTED or EVENT_CONNECT_FAILED); with FLAG_BIND the socket is
    // bound to the address instead. timeoutMs (0 for none) becomes the socket's send and receive time-out.
    // outOfBuffers is set when the system had no buffer space for the connection.
    bool Connect(const wchar_t* host, uint16_t port, DWORD timeoutMs, bool* outOfBuffers = nullptr);

    // One system send; the bytes sent, 0 on error.
    int Send(SOCKET socket, const void* data, int length);
    // One system receive; the bytes received, 0 on error or when the peer has closed the connection.
    int Receive(SOCKET socket, void* buffer, int size);

    // Closes a socket of this layer (unknown sockets are left alone).
    void CloseSocket(SOCKET socket);
    void CloseAll();

    // Whether socket is one of this layer's open sockets.
    bool Owns(SOCKET socket) const;
    uint32_t GetSocketCount() const;
    // Manual-reset, signalled while the layer has no socket.
    HANDLE GetIdleEvent() const { return m_idleEvent.Get(); }

private:
    LRESULT OnSubClassMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Deliver(Event event, SOCKET socket, int error);
    bool AddSocket(SOCKET socket);
    // Takes socket out of the set; false when it was not there (already closed).
    bool RemoveSocket(SOCKET socket);
    bool ChooseSocketType(int& type, int& protocol) const;

    bool m_initialised = false;
    uint32_t m_flags = 0;
    UINT m_message = 0;
    Callback m_callback = nullptr;
    void* m_context = nullptr;
    HWND m_window = nullptr;
    C_SubClassing m_subClassing;

    mutable C_CriticalSection m_lock;
    SOCKET m_sockets[kMaxSockets] = {};
    uint32_t m_socketCount = 0;
    C_Handle m_idleEvent;
};
