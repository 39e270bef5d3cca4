#include "connection/sockets/UdpTransport.h"

#include "connection/sockets/TcpTransport.h"
#include "connection/LoopbackPeer.h"
#include "connection/TransportTestHost.h"
#include "connection/TransportWrite.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring UdpTarget(uint16_t port) {
    return L"udp://127.0.0.1:" + std::to_wstring(port);
}

const char* const kEvent = "<log4j:event logger=\"app.main\" timestamp=\"1700000000000\" level=\"INFO\" "
                           "thread=\"main\"><log4j:message>Started</log4j:message></log4j:event>";

class UdpTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(transport.Start());
        port = UnusedLoopbackPort(SOCK_DGRAM);
        ASSERT_NE(0, port);
    }
    void TearDown() override {
        transport.Close();
        transport.Stop();
    }

    // Binds the transport and waits for the socket's first notification, which makes it known.
    bool Listen() {
        C_String description;
        return transport.Open(UdpTarget(port).c_str(), description) && PumpUntil([&] { return transport.IsOpen(); });
    }

    // Sends one datagram and reads until the host has blocks blocks.
    bool Exchange(const std::string& datagram, size_t blocks) {
        return SendDatagram(port, datagram) && ReadUntilBlocks(transport, host, blocks);
    }

    RecordingHost host;
    C_UdpTransport transport{host};
    uint16_t port = 0;
};

TEST_F(UdpTransportTest, ShowsPlainTextAsItCameAndLog4jEventsAsLines) {
    ASSERT_TRUE(Listen());
    EXPECT_EQ(STATUS_OPENING, host.Statuses().at(0).first);

    ASSERT_TRUE(Exchange("plain text\r\n", 1));
    ASSERT_TRUE(Exchange(kEvent, 2));
    ASSERT_TRUE(Exchange("<log4j:event logger=\"app.db\" level=\"WARN\"><log4j:message /><log4j:throwable>"
                         "</log4j:throwable></log4j:event>",
                         3));
    ASSERT_TRUE(Exchange("<log4j:event logger=\"app.db\" level=\"WARN\"><log4j:message />\n</log4j:event>", 4));

    const std::vector<std::string> blocks = host.Blocks();
    EXPECT_EQ("plain text\r\n", blocks[0]);
    EXPECT_EQ("INFO|app.main|Started\r\n", blocks[1]);
    EXPECT_EQ("WARN|app.db\r\n", blocks[2]) << "an empty message leaves level and logger";
    EXPECT_EQ("WARN|app.db|\n\r\n", blocks[3]) << "text up to the next tag is the message";
}

TEST_F(UdpTransportTest, MarkupInsideTheMessageIsShownVerbatim) {
    ASSERT_TRUE(Listen());
    ASSERT_TRUE(Exchange("<log4j:event logger=\"a\" level=\"ERROR\"><log4j:message><![CDATA[x < y & z]]>"
                         "</log4j:message></log4j:event>",
                         1));
    EXPECT_EQ("ERROR|a|<![CDATA[x < y & z]]>\r\n", host.Received());
}

TEST_F(UdpTransportTest, DatagramLongerThanTheReceiveBlockIsNotShown) {
    ASSERT_TRUE(Listen());
    const std::string fits(C_SocketTransport::kReceiveBlockSize, 'f');

    ASSERT_TRUE(SendDatagram(port, std::string(C_SocketTransport::kReceiveBlockSize + 1, 'L')));
    ASSERT_TRUE(Exchange(fits, 1));
    ASSERT_TRUE(Exchange("after\r\n", 2));

    const std::vector<std::string> blocks = host.Blocks();
    EXPECT_EQ(fits, blocks[0]) << "the long datagram is dropped, the reader goes on";
    EXPECT_EQ("after\r\n", blocks[1]);
}

TEST_F(UdpTransportTest, TypingSendsNothingAndLeavesTheSocketOpen) {
    ASSERT_TRUE(Listen());
    EXPECT_FALSE(WriteBytes(transport, "typed\r")) << "nothing can be sent: the write says so";
    ASSERT_TRUE(Exchange("still listening", 1));
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_EQ(0, host.CloseTargetPosts());
}

// Another socket on the address means nothing would ever arrive: reporting success would be a lie.
TEST_F(UdpTransportTest, AddressInUseFailsTheOpen) {
    WinsockSession session;
    SOCKET holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address));

    C_String description;
    EXPECT_FALSE(transport.Open(UdpTarget(port).c_str(), description));
    EXPECT_EQ(0u, transport.GetSocketLayer().GetSocketCount());
    closesocket(holder);
}

TEST_F(UdpTransportTest, AfterCloseNothingIsOpen) {
    ASSERT_TRUE(Listen());
    transport.Close();
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(0u, transport.GetSocketLayer().GetSocketCount());
}

// Both socket layers subclass the same main window with the same tag; each must still get its own events.
TEST_F(UdpTransportTest, WorksBesideTheTcpTransportOnTheSameWindow) {
    C_TcpTransport tcp(host);
    ASSERT_TRUE(tcp.Start());
    LoopbackTcpServer server([](SOCKET client, LoopbackTcpServer& peer) {
        SendAll(client, "tcp\r\n");
        peer.AwaitStep();
    });
    C_String description;
    const std::wstring tcpTarget = L"tcp://127.0.0.1:" + std::to_wstring(server.Port());
    ASSERT_TRUE(tcp.Open(tcpTarget.c_str(), description));
    ASSERT_TRUE(PumpUntil([&] { return tcp.IsOpen(); }));
    ASSERT_TRUE(ReadUntilReceived(tcp, host, 5));

    ASSERT_TRUE(Listen());
    ASSERT_TRUE(Exchange("udp\r\n", 2));
    EXPECT_EQ("tcp\r\nudp\r\n", host.Received());

    server.Step();
    tcp.Close();
    tcp.Stop();
}

} // namespace
