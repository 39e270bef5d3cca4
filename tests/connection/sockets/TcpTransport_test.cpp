#include "connection/sockets/TcpTransport.h"

#include "connection/threads/Thread.h"
#include "connection/LoopbackPeer.h"
#include "connection/NameOf.h"
#include "connection/TransportTestHost.h"
#include "connection/TransportWrite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Waits, without dispatching anything, until a message is in the window's queue.
bool WaitUntilQueued(HWND window, UINT message) {
    const DWORD start = GetTickCount();
    MSG queued;
    while (!PeekMessageW(&queued, window, message, message, PM_NOREMOVE)) {
        if (GetTickCount() - start >= kTestTimeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    return true;
}

// Dispatches the window's socket notices, and nothing else, until the notices seen (FD_READ, FD_CLOSE, ...) include
// every one of wanted and done() holds.
bool DispatchNoticesUntil(HWND window, long wanted, const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    long seen = 0;
    while (GetTickCount() - start < kTestTimeoutMs) {
        MSG message;
        while (PeekMessageW(&message, window, WM_TCP_SOCKET, WM_TCP_SOCKET, PM_REMOVE)) {
            seen |= WSAGETSELECTEVENT(message.lParam);
            DispatchMessageW(&message);
        }
        if ((seen & wanted) == wanted && done())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    return false;
}

std::wstring TcpTarget(uint16_t port) {
    return L"tcp://127.0.0.1:" + std::to_wstring(port);
}

class TcpTransportTest : public ::testing::Test {
public:
    void SetUp() override { ASSERT_TRUE(transport.Start()); }
    void TearDown() override {
        transport.Close();
        transport.Stop();
    }

    // Opens the target and waits for the connection to be established.
    bool Connect(uint16_t port) {
        C_String description;
        if (!transport.Open(TcpTarget(port).c_str(), description))
            return false;
        return PumpUntil([&] { return transport.IsOpen(); });
    }

    RecordingHost host;
    C_TcpTransport transport{host};
};

TEST_F(TcpTransportTest, NegotiationIsDroppedOnlyAtTheFrontOfABlock) {
    LoopbackTcpServer server([](SOCKET client, LoopbackTcpServer& peer) {
        // One block per step, so each arrives as a block of its own.
        SendAll(client, Bytes({0xFF, 0xFB, 0x01, 0xFF, 0xFD, 0x03, 0x41, 0x42}));
        if (peer.AwaitStep())
            SendAll(client, Bytes({0xFF, 0xFB, 0x01, 0x41, 0xFF, 0xFD, 0x03}));
        if (peer.AwaitStep())
            SendAll(client, Bytes({0xFF, 0xFB, 0x01}));
        peer.AwaitStep();
    });
    ASSERT_TRUE(Connect(server.Port()));

    ASSERT_TRUE(ReadUntilBlocks(transport, host, 1));
    server.Step();
    ASSERT_TRUE(ReadUntilBlocks(transport, host, 2));
    server.Step();
    ASSERT_TRUE(ReadUntilBlocks(transport, host, 3));
    server.Step();

    const std::vector<std::string> blocks = host.Blocks();
    ASSERT_EQ(3u, blocks.size());
    EXPECT_EQ("AB", blocks[0]);
    EXPECT_EQ(Bytes({0x41, 0xFF, 0xFD, 0x03}), blocks[1]);
    EXPECT_EQ("", blocks[2]) << "a block of nothing but negotiation passes nothing";
    EXPECT_EQ(0, host.CloseTargetPosts());
}

TEST_F(TcpTransportTest, OpenShowsTheStatusAndTypedTextReachesThePeer) {
    LoopbackTcpServer server([](SOCKET client, LoopbackTcpServer& peer) { peer.Record(peer.Receive(client, 7)); });
    ASSERT_TRUE(Connect(server.Port()));
    const std::wstring target = TcpTarget(server.Port());
    ASSERT_EQ(1u, host.Statuses().size());
    EXPECT_EQ(STATUS_OPENING, host.Statuses()[0].first);
    EXPECT_EQ(target, host.Statuses()[0].second);
    EXPECT_EQ(target, NameOf(transport));

    const std::string bytes("AT\r\n\0\xFF\x80", 7); // a zero byte goes out as any other
    EXPECT_TRUE(WriteBytes(transport, bytes));
    ASSERT_TRUE(PumpUntil([&] { return server.Finished(); }));
    EXPECT_EQ(bytes, server.Recorded());
}

// Writing runs on the command thread; the room it waits for is reported by events on the window's thread.
TEST_F(TcpTransportTest, LargeTextIsSentWholeThroughAFullSendBuffer) {
    const size_t size = 4 * 1024 * 1024;
    LoopbackTcpServer server(
        [size](SOCKET client, LoopbackTcpServer& peer) { peer.Record(peer.Receive(client, size)); });
    ASSERT_TRUE(Connect(server.Port()));
    std::string text(size, 'x');
    text.back() = 'y';

    std::atomic<bool> written{false};
    std::thread command([&] { written = WriteBytes(transport, text); });
    const bool done = PumpUntil([&] { return written && server.Finished(); });
    command.join();

    ASSERT_TRUE(done);
    const std::string received = server.Recorded();
    EXPECT_EQ(size, received.size());
    EXPECT_TRUE(received == text) << "the text arrives whole and in order";
}

TEST_F(TcpTransportTest, RefusedConnectionClosesTheTarget) {
    const uint16_t port = UnusedLoopbackPort();
    C_String description;
    // The attempt only starts here; the refusal arrives as a socket event.
    ASSERT_TRUE(transport.Open(TcpTarget(port).c_str(), description));
    ASSERT_TRUE(PumpUntil([&] { return host.CloseTargetPosts() > 0; }));
    EXPECT_EQ(1, host.CloseTargetPosts());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(0u, transport.GetSocketLayer().GetSocketCount());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(transport.GetSocketLayer().GetIdleEvent(), 0));
}

// Windows may report the peer's close while what the peer sent before it still waits to be read, as when it sends
// its last words and closes at once. The connection ends only once they have all been read.
TEST_F(TcpTransportTest, PeerThatClosesEndsTheConnectionAfterItsLastBytes) {
    std::string words(8 * 1024, 'w'); // several blocks, in one piece on the loopback
    words.back() = '!';
    LoopbackTcpServer server([&words](SOCKET client, LoopbackTcpServer& peer) {
        if (peer.AwaitStep())
            SendAll(client, words);
    });
    ASSERT_TRUE(Connect(server.Port()));
    const HWND window = host.GetMainWindow();
    server.Step();
    ASSERT_TRUE(DispatchNoticesUntil(window, FD_READ, [&] { return server.Finished(); }));
    // This Wine holds the close back until everything was read, so the test posts it as Windows may.
    PostMessageW(window, WM_TCP_SOCKET, WPARAM(transport.GetSocket()), WSAMAKESELECTREPLY(FD_CLOSE, 0));
    ASSERT_TRUE(DispatchNoticesUntil(window, FD_CLOSE, [] { return true; })) << "nothing read yet";

    ASSERT_TRUE(ReadUntil(transport, [&] { return host.CloseTargetPosts() > 0; }));

    EXPECT_TRUE(host.Received() == words) << host.Received().size() << " of " << words.size() << " bytes";
    EXPECT_EQ(1, host.CloseTargetPosts());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(0u, transport.GetSocketLayer().GetSocketCount());
}

// Close runs on the command thread while the connection's notifications may still wait in the window's queue;
// none of them may bring the closed socket back.
TEST_F(TcpTransportTest, LocalCloseStaysClosedWhateverWasStillQueued) {
    LoopbackTcpServer server([](SOCKET, LoopbackTcpServer& peer) { peer.AwaitStep(); });
    C_String description;
    ASSERT_TRUE(transport.Open(TcpTarget(server.Port()).c_str(), description));
    ASSERT_TRUE(WaitUntilQueued(host.GetMainWindow(), WM_TCP_SOCKET))
        << "the connection's notification is waiting, not yet dispatched";

    transport.Close();
    PumpUntil([] { return false; }, 200); // dispatches what was queued

    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(0, host.CloseTargetPosts());
    server.Step();
}

// A peer's close that is still queued when the user closes must not post CloseTarget: by the time it is
// dispatched, that CloseTarget would end whatever connection was opened next.
TEST_F(TcpTransportTest, PeerCloseQueuedBeforeALocalCloseIsIgnored) {
    LoopbackTcpServer server([](SOCKET, LoopbackTcpServer& peer) { peer.AwaitStep(); });
    ASSERT_TRUE(Connect(server.Port()));
    server.Step(); // the peer closes
    ASSERT_TRUE(WaitUntilQueued(host.GetMainWindow(), WM_TCP_SOCKET));

    transport.Close();
    PumpUntil([] { return false; }, 200);

    EXPECT_EQ(0, host.CloseTargetPosts());
    EXPECT_FALSE(transport.IsOpen());
}

// The threads as the connection runs them: the reader thread repeats the read step and waits without a limit
// while the test thread, owning the window, receives the socket events.
TEST_F(TcpTransportTest, ReaderThreadIsWokenByEventsOnTheWindowThread) {
    LoopbackTcpServer server([](SOCKET client, LoopbackTcpServer& peer) {
        SendAll(client, "first\r\n");
        if (peer.AwaitStep())
            SendAll(client, "second\r\n");
        peer.AwaitStep();
    });
    ASSERT_TRUE(Connect(server.Port()));
    host.SetPendingLine(false);
    struct Loop {
        static DWORD Run(void* context, DWORD) {
            auto& self = *static_cast<TcpTransportTest*>(context);
            while (!self.host.IsStopRequested() && self.transport.ReadStep()) {
            }
            return 0;
        }
    };
    C_Thread reader;
    ASSERT_TRUE(reader.Start(&Loop::Run, this));

    EXPECT_TRUE(PumpUntil([&] { return host.Received() == "first\r\n"; }));
    server.Step();
    EXPECT_TRUE(PumpUntil([&] { return host.Received() == "first\r\nsecond\r\n"; }));
    EXPECT_EQ(0, host.Flushes()) << "no pending line, so the reader never woke without data";

    host.RequestStop();
    SetEvent(host.GetDataEvent());
    EXPECT_TRUE(reader.WaitFinished(kTestTimeoutMs) || reader.IsFinished()); // it may end before the wait starts
    server.Step();
}

} // namespace
