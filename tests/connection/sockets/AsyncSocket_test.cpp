#include "connection/sockets/AsyncSocket.h"

#include "connection/LoopbackPeer.h"
#include "connection/TransportTestHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT kMessage = WM_APP + 3;

struct RecordedEvent {
    C_AsyncSocket::Event event;
    SOCKET socket;
    int error;
};

class AsyncSocketTest : public ::testing::Test {
protected:
    static void Record(void* context, C_AsyncSocket::Event event, SOCKET socket, int error) {
        static_cast<AsyncSocketTest*>(context)->events.push_back({event, socket, error});
    }

    bool Init(uint32_t flags) { return layer.Init(flags, &Record, this, window.Get(), kMessage); }

    bool Saw(C_AsyncSocket::Event event) const {
        for (const RecordedEvent& seen : events)
            if (seen.event == event)
                return true;
        return false;
    }

    bool IsIdle() const { return WaitForSingleObject(layer.GetIdleEvent(), 0) == WAIT_OBJECT_0; }

    WinsockSession session;
    TestWindow window;
    C_AsyncSocket layer;
    std::vector<RecordedEvent> events;
};

TEST_F(AsyncSocketTest, InitSubclassesOnceAndKeepsTheFirstValues) {
    EXPECT_FALSE(C_SubClassing::IsSubClassed(window.Get(), C_AsyncSocket::kSubClassTag));
    ASSERT_TRUE(Init(C_AsyncSocket::FLAG_STREAM));
    EXPECT_TRUE(GetPropW(window.Get(), L"_C_SubClassing_Property_6E656361") != nullptr);
    const LONG_PTR procedure = GetWindowLongPtrW(window.Get(), GWLP_WNDPROC);

    EXPECT_TRUE(
        layer.Init(C_AsyncSocket::FLAG_DATAGRAM | C_AsyncSocket::FLAG_BIND, &Record, this, window.Get(), kMessage + 1));
    EXPECT_EQ(procedure, GetWindowLongPtrW(window.Get(), GWLP_WNDPROC));

    // Still a stream layer: connecting to a listener starts a connection rather than binding its port.
    LoopbackTcpServer server([](SOCKET, LoopbackTcpServer& peer) { peer.AwaitStep(); });
    EXPECT_TRUE(layer.Connect(L"127.0.0.1", server.Port(), 1000));
    EXPECT_TRUE(PumpUntil([&] { return Saw(C_AsyncSocket::EVENT_CONNECTED); }));
    server.Step();
}

TEST_F(AsyncSocketTest, WithoutASocketTypeOrAHostNothingIsCreated) {
    ASSERT_TRUE(Init(C_AsyncSocket::FLAG_BIND));
    EXPECT_FALSE(layer.Connect(L"127.0.0.1", 5000, 0));
    C_AsyncSocket stream;
    ASSERT_TRUE(stream.Init(C_AsyncSocket::FLAG_STREAM, &Record, this, window.Get(), kMessage + 1));
    EXPECT_FALSE(stream.Connect(L"", 5000, 0));
    EXPECT_FALSE(stream.Connect(nullptr, 5000, 0));
    EXPECT_EQ(0u, layer.GetSocketCount() + stream.GetSocketCount());
}

TEST_F(AsyncSocketTest, CountsSocketsAndSignalsIdleWhenAllAreClosed) {
    ASSERT_TRUE(Init(C_AsyncSocket::FLAG_DATAGRAM | C_AsyncSocket::FLAG_BIND));
    EXPECT_TRUE(IsIdle());
    ASSERT_TRUE(layer.Connect(L"127.0.0.1", UnusedLoopbackPort(SOCK_DGRAM), 0));
    ASSERT_TRUE(layer.Connect(L"127.0.0.1", UnusedLoopbackPort(SOCK_DGRAM), 0));
    EXPECT_EQ(2u, layer.GetSocketCount());
    EXPECT_FALSE(IsIdle());

    layer.CloseAll();
    EXPECT_EQ(0u, layer.GetSocketCount());
    EXPECT_TRUE(IsIdle());
    layer.CloseAll();
    EXPECT_TRUE(IsIdle());
}

TEST_F(AsyncSocketTest, RefusedConnectionIsReportedWithItsErrorAndClosed) {
    ASSERT_TRUE(Init(C_AsyncSocket::FLAG_STREAM));
    bool outOfBuffers = true;
    ASSERT_TRUE(layer.Connect(L"127.0.0.1", UnusedLoopbackPort(), 1000, &outOfBuffers));
    EXPECT_FALSE(outOfBuffers);
    ASSERT_TRUE(PumpUntil([&] { return Saw(C_AsyncSocket::EVENT_CONNECT_FAILED); }));
    EXPECT_EQ(WSAECONNREFUSED, events.back().error);
    EXPECT_FALSE(Saw(C_AsyncSocket::EVENT_CONNECTED));
    EXPECT_EQ(0u, layer.GetSocketCount());
}

TEST_F(AsyncSocketTest, NotificationsOfSocketsItDoesNotHoldAreDropped) {
    ASSERT_TRUE(Init(C_AsyncSocket::FLAG_STREAM));
    const SOCKET foreign = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    PostMessageW(window.Get(), kMessage, WPARAM(foreign), WSAMAKESELECTREPLY(FD_CONNECT, 0));
    PostMessageW(window.Get(), kMessage, WPARAM(foreign), WSAMAKESELECTREPLY(FD_READ, 0));
    PostMessageW(window.Get(), WM_APP + 9, 0, 0);
    MSG last;
    PumpUntil([&] { return PeekMessageW(&last, window.Get(), 0, 0, PM_NOREMOVE) == 0; });
    EXPECT_TRUE(events.empty());
    closesocket(foreign);
}

} // namespace
