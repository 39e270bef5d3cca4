#include "connection/ConnectionHarness.h"
#include "connection/LoopbackPeer.h"
#include "connection/NameOf.h"
#include "support/DeviceEntry.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kPipeBuffer = 4096;
// The connection tests own COM41 to COM48 of their build's prefix; these are this file's.
constexpr unsigned kOpenPort = 43;
constexpr unsigned kUnpluggedPort = 44;
constexpr unsigned kMovedFrom = 47;
constexpr unsigned kMovedTo = 48;

std::wstring UniquePipeName(const wchar_t* stem) {
    static unsigned s_sequence = 0;
    return std::wstring(L"\\\\.\\pipe\\velto-connection-") + stem + L"-" + std::to_wstring(GetCurrentProcessId()) +
           L"-" + std::to_wstring(++s_sequence);
}

// The server end of a named pipe with one instance. A server that only reads (inbound) refuses a client that
// asks to read as well: with access denied, the error a port held by another program gives.
class PipeServer {
public:
    explicit PipeServer(DWORD openMode = PIPE_ACCESS_DUPLEX) : m_name(UniquePipeName(L"peer")) {
        m_handle.Reset(CreateNamedPipeW(m_name.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_WAIT, 1, kPipeBuffer,
                                        kPipeBuffer, 0, nullptr));
    }
    ~PipeServer() {
        if (m_reader.joinable()) {
            DisconnectNamedPipe(m_handle.Get()); // ends a read still waiting
            m_reader.join();
        }
    }
    bool IsValid() const { return m_handle.IsValid(); }
    const std::wstring& Name() const { return m_name; }

    bool Send(const std::string& bytes) {
        DWORD written = 0;
        return WriteFile(m_handle.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }
    void Disconnect() { DisconnectNamedPipe(m_handle.Get()); }

    // Reads one byte at a time on a thread of its own, noting when each came, until count bytes or an error.
    void RecordArrivals(size_t count) {
        m_reader = std::thread([this, count] {
            for (size_t i = 0; i < count; ++i) {
                char byte = 0;
                DWORD read = 0;
                if (!ReadFile(m_handle.Get(), &byte, 1, &read, nullptr) || read != 1)
                    return;
                std::lock_guard<std::mutex> hold(m_mutex);
                m_arrivals.push_back({byte, NowMs()});
            }
        });
    }
    std::vector<std::pair<char, double>> Arrivals() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_arrivals;
    }

private:
    std::wstring m_name;
    C_Handle m_handle;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<std::pair<char, double>> m_arrivals;
};

std::vector<Status> Slice(const std::vector<Status>& statuses, size_t from, size_t count) {
    if (from + count > statuses.size())
        return {};
    return std::vector<Status>(statuses.begin() + from, statuses.begin() + from + count);
}

// Each test sets the stand-in's options first, then starts the connection.
class ConnectionTest : public ::testing::Test {
protected:
    ConnectionHarness harness;
    C_Connection& connection = harness.connection;
};

TEST_F(ConnectionTest, ClosingWhenNothingWasEverOpenedShowsBothStatusesWithoutAName) {
    ASSERT_TRUE(harness.Start());
    connection.CloseTarget();
    ASSERT_TRUE(harness.WaitForStatuses(2));
    EXPECT_EQ(harness.statuses, (std::vector<Status>{{STATUS_CLOSING, kNoName}, {STATUS_CLOSED, kNoName}}));
    EXPECT_EQ(harness.titles, std::vector<std::wstring>{kNoName}) << "the product title alone";
    EXPECT_FALSE(connection.IsOpen());
    C_String name;
    EXPECT_FALSE(connection.GetName(name));
    EXPECT_STREQ(name.c_str(), L"");
}

TEST_F(ConnectionTest, ASerialPortOpensByItsListedNameWithTitleLineDescriptionAndData) {
    VirtualPort port(kOpenPort);
    ASSERT_TRUE(port.IsReady()) << port.Problem();
    harness.tags.tags[port.DevicePath()] = L"Bench";
    harness.window.SetSerialLineSettings({57600, EVENPARITY, ONESTOPBIT});
    ASSERT_TRUE(harness.Start());
    connection.RefreshPorts(PORTS_CHANGED_REDRAW); // the title comes from the port list
    // The refresh and then its probe, which opens the port for a moment: an open meanwhile could find it busy.
    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 2));

    connection.OpenTarget(port.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));

    EXPECT_EQ(harness.statuses, OpenStatuses(port.Name(), STATUS_OPENED)) << Printable(harness.statuses).c_str();
    EXPECT_EQ(harness.titles, (std::vector<std::wstring>{kNoName, L"Bench - " + port.Name()}));
    EXPECT_EQ(harness.optionsTexts, std::vector<std::wstring>{L"Options - 57600 baud 8E1"});
    ASSERT_TRUE(connection.IsOpen());
    EXPECT_EQ(NameOf(connection), port.DevicePath()) << "the matched device path";

    const C_Handle device(port.OpenDeviceEnd());
    ASSERT_TRUE(device);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(device.Get(), "hello\r\n", 7, &written, nullptr));
    EXPECT_TRUE(harness.WaitForStoreText("hello\r\n"));
    connection.SendText(L"ping");
    char echo[8] = {};
    DWORD read = 0;
    const DWORD start = GetTickCount();
    std::string sent;
    while (sent.size() < 4 && GetTickCount() - start < kHarnessTimeoutMs)
        if (ReadFile(device.Get(), echo, sizeof echo, &read, nullptr))
            sent.append(echo, read);
    EXPECT_EQ(sent, "ping");

    // The probe after the reader's own refresh leaves the open port alone. This system lets a second handle open
    // the port, and the probe's default settings would then reach the open line.
    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 4));
    EXPECT_NE(port.LineSettings().find("speed 57600 baud"), std::string::npos) << port.LineSettings();

    // Shutdown closes what is open on the command thread's way out, with the statuses that belong to it.
    harness.Stop();
    ASSERT_GE(harness.statuses.size(), 7u);
    EXPECT_EQ(Slice(harness.statuses, harness.statuses.size() - 2, 2),
              (std::vector<Status>{{STATUS_CLOSING, port.DevicePath()}, {STATUS_CLOSED, port.DevicePath()}}));
    EXPECT_FALSE(connection.IsOpen());
}

TEST_F(ConnectionTest, OpeningAnotherTargetClosesTheOpenOneFirst) {
    ASSERT_TRUE(harness.Start());
    PipeServer first;
    ASSERT_TRUE(first.IsValid());
    connection.OpenTarget(first.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    ASSERT_TRUE(connection.IsOpen());
    EXPECT_EQ(harness.optionsTexts[0], L"Options") << "a pipe has no line to describe";

    const std::wstring missing = UniquePipeName(L"missing");
    connection.OpenTarget(missing.c_str());
    ASSERT_TRUE(harness.WaitForOpens(2));

    EXPECT_EQ(Slice(harness.statuses, 5, 5), OpenStatuses(missing, STATUS_OPEN_FAILED, first.Name()))
        << Printable(harness.statuses).c_str();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(harness.reopenTimer, (std::vector<bool>{false, false})) << "only access denied is retried";
}

TEST_F(ConnectionTest, AnOpenRefusedWithAccessDeniedIsRetriedFiveTimesASecondApart) {
    ASSERT_TRUE(harness.Start());
    PipeServer busy(PIPE_ACCESS_INBOUND);
    ASSERT_TRUE(busy.IsValid());
    connection.OpenTarget(busy.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(6));

    ASSERT_EQ(harness.statuses.size(), 30u) << Printable(harness.statuses).c_str();
    EXPECT_EQ(Slice(harness.statuses, 0, 5), OpenStatuses(busy.Name(), STATUS_OPEN_FAILED));
    for (size_t retry = 1; retry < 6; ++retry)
        EXPECT_EQ(Slice(harness.statuses, retry * 5, 5), OpenStatuses(busy.Name(), STATUS_OPEN_FAILED, busy.Name()));
    for (size_t retry = 1; retry < 6; ++retry) // from one "Searching" to the next
        EXPECT_GE(harness.statusTimes[retry * 5 + 2] - harness.statusTimes[retry * 5 - 3], 900.0) << "retry " << retry;
    // Each open stops the timer first; the first five failures start it again, the sixth does not.
    std::vector<bool> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert(expected.end(), {false, true});
    expected.push_back(false);
    EXPECT_EQ(harness.reopenTimer, expected);

    // A failure of another kind starts the count again.
    const std::wstring missing = UniquePipeName(L"missing");
    connection.OpenTarget(missing.c_str());
    connection.OpenTarget(busy.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(8));
    EXPECT_EQ(harness.reopenTimer.back(), true);

    // An open that fails before any system call (no listed port of that name) is not taken for access denied,
    // whatever error the refused open before it left behind.
    connection.OpenTarget(L"unlisted port");
    ASSERT_TRUE(harness.WaitForOpens(9));
    EXPECT_EQ(harness.reopenTimer.back(), false);
}

TEST_F(ConnectionTest, APipeDeliversDataAndEndsByItselfWhenThePeerGoes) {
    ASSERT_TRUE(harness.Start());
    PipeServer peer;
    ASSERT_TRUE(peer.IsValid());
    connection.OpenTarget(peer.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    EXPECT_EQ(harness.statuses, OpenStatuses(peer.Name(), STATUS_OPENED));
    EXPECT_EQ(harness.titles.back(), L"") << "a target that is not listed leaves the product title alone";

    ASSERT_TRUE(peer.Send("pipe line\r\n"));
    EXPECT_TRUE(harness.WaitForStoreText("pipe line\r\n"));
    const size_t redraws = harness.portsChanged.size();
    peer.Disconnect();

    ASSERT_TRUE(harness.PumpUntil([&] { return !connection.IsOpen() && harness.portsChanged.size() > redraws; }));
    EXPECT_EQ(harness.statuses.size(), 5u) << "a connection that ends by itself shows nothing";
    EXPECT_EQ(harness.titles.size(), 2u) << "and keeps its title";
    EXPECT_EQ(NameOf(connection), peer.Name());
}

TEST_F(ConnectionTest, CharactersAreSentOneByOneWithTheDelayAfterEach) {
    harness.window.SetCharSendDelay(100);
    ASSERT_TRUE(harness.Start());
    PipeServer peer;
    ASSERT_TRUE(peer.IsValid());
    connection.OpenTarget(peer.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    ASSERT_TRUE(connection.IsOpen());
    peer.RecordArrivals(3);

    connection.SendText(L"ab");
    connection.SendText(L"c");
    ASSERT_TRUE(harness.PumpUntil([&] { return peer.Arrivals().size() == 3; }));

    const auto arrivals = peer.Arrivals();
    EXPECT_EQ(arrivals[0].first, 'a');
    EXPECT_EQ(arrivals[1].first, 'b');
    EXPECT_EQ(arrivals[2].first, 'c');
    // Lower bounds only: a loaded machine may stretch a delay but never shortens it by much.
    EXPECT_GE(arrivals[1].second - arrivals[0].second, 80.0);
    EXPECT_GE(arrivals[2].second - arrivals[1].second, 80.0) << "the delay also follows the last character";
}

TEST_F(ConnectionTest, TextIsSentInTheAnsiCodePageUpToItsFirstZero) {
    ASSERT_TRUE(harness.Start());
    PipeServer peer;
    ASSERT_TRUE(peer.IsValid());
    connection.OpenTarget(peer.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    peer.RecordArrivals(4);

    connection.SendText(L"x\x4E2D\x00E9\x20AC"); // the code page (1252 here) has no CJK: its default character
    ASSERT_TRUE(harness.PumpUntil([&] { return peer.Arrivals().size() == 4; }));

    std::string bytes;
    for (const auto& arrival : peer.Arrivals())
        bytes += arrival.first;
    EXPECT_EQ(bytes, "x?\xE9\x80");
}

TEST_F(ConnectionTest, ATcpGreetingIsShownAndACloseDoesNotWaitForMoreData) {
    ASSERT_TRUE(harness.Start());
    LoopbackTcpServer peer([](SOCKET client, LoopbackTcpServer& server) {
        SendAll(client, "welcome\r\n"); // at once: its notification may come before the open has ended
        server.AwaitStep();
    });
    const std::wstring target = L"tcp://127.0.0.1:" + std::to_wstring(peer.Port());
    connection.OpenTarget(target.c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    EXPECT_EQ(harness.statuses, OpenStatuses(target, STATUS_OPENED));
    EXPECT_TRUE(harness.WaitForStoreText("welcome\r\n"));
    ASSERT_TRUE(harness.PumpUntil([&] { return connection.IsOpen(); }));

    connection.CloseTarget(); // the reader waits without limit for socket data that never comes
    ASSERT_TRUE(harness.WaitForStatuses(7));
    EXPECT_EQ(Slice(harness.statuses, 5, 2), (std::vector<Status>{{STATUS_CLOSING, target}, {STATUS_CLOSED, target}}));
    EXPECT_FALSE(connection.IsOpen());
    peer.Step();
}

TEST_F(ConnectionTest, ATcpPeerThatClosesClosesTheConnection) {
    ASSERT_TRUE(harness.Start());
    LoopbackTcpServer peer([](SOCKET, LoopbackTcpServer& server) { server.AwaitStep(); });
    const std::wstring target = L"tcp://127.0.0.1:" + std::to_wstring(peer.Port());
    connection.OpenTarget(target.c_str());
    ASSERT_TRUE(harness.PumpUntil([&] { return connection.IsOpen(); }));
    peer.Step();
    ASSERT_TRUE(harness.WaitForStatuses(7));
    EXPECT_EQ(Slice(harness.statuses, 5, 2), (std::vector<Status>{{STATUS_CLOSING, target}, {STATUS_CLOSED, target}}));
    EXPECT_FALSE(connection.IsOpen());
}

TEST_F(ConnectionTest, AUdpTargetShowsLog4jEventsAsLines) {
    ASSERT_TRUE(harness.Start());
    const uint16_t port = UnusedLoopbackPort(SOCK_DGRAM);
    const std::wstring target = L"UDP://127.0.0.1:" + std::to_wstring(port);
    connection.OpenTarget(target.c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    EXPECT_EQ(harness.statuses, OpenStatuses(target, STATUS_OPENED)) << "the prefix is taken in any case";

    ASSERT_TRUE(SendDatagram(port, "<log4j:event logger=\"app.main\" level=\"INFO\"><log4j:message>Started"
                                   "</log4j:message></log4j:event>"));
    EXPECT_TRUE(harness.WaitForStoreText("INFO|app.main|Started\r\n"));
}

TEST_F(ConnectionTest, AnUnpluggedPortEndsItsReaderAndComesBackAfterARefresh) {
    auto port = std::make_unique<VirtualPort>(kUnpluggedPort);
    ASSERT_TRUE(port->IsReady()) << port->Problem();
    const std::wstring name = port->Name();
    ASSERT_TRUE(harness.Start());
    harness.window.SelectPort(name.c_str());
    connection.RefreshPorts(PORTS_CHANGED_REOPEN); // as at program start: the selected port opens
    ASSERT_TRUE(harness.WaitForOpens(1));
    ASSERT_TRUE(connection.IsOpen());
    EXPECT_EQ(harness.statuses, OpenStatuses(name, STATUS_OPENED));

    port.reset();
    ASSERT_TRUE(harness.PumpUntil([&] { return !connection.IsOpen(); }));
    EXPECT_EQ(harness.statuses.size(), 5u);
    EXPECT_EQ(harness.titles.back(), name) << "the title keeps the lost port";

    connection.RefreshPorts(PORTS_CHANGED_REOPEN); // the device notification of its removal
    ASSERT_TRUE(harness.WaitForOpens(2));
    EXPECT_EQ(Slice(harness.statuses, 5, 5), OpenStatuses(name, STATUS_OPEN_FAILED, L"\\\\.\\" + name))
        << Printable(harness.statuses).c_str();

    port = std::make_unique<VirtualPort>(kUnpluggedPort);
    ASSERT_TRUE(port->IsReady()) << port->Problem();
    connection.RefreshPorts(PORTS_CHANGED_REOPEN); // and of its return
    ASSERT_TRUE(harness.WaitForOpens(3));
    EXPECT_EQ(Slice(harness.statuses, 10, 5), OpenStatuses(name, STATUS_OPENED, L""))
        << "a failed match leaves the serial transport without a name";
    EXPECT_TRUE(connection.IsOpen());
    harness.Stop(); // before the port goes
}

// Wine keeps no device parents: each test board is its own USB device, known by its serial number.
TEST_F(ConnectionTest, ABoardThatComesBackUnderAnotherComNumberIsReopenedThereWithItsTag) {
    const std::wstring identity = L"USB\\VID_0403&PID_6001\\VELTOMOVE1";
    harness.tags.tags[identity] = L"Console";
    auto port = std::make_unique<VirtualPort>(kMovedFrom);
    ASSERT_TRUE(port->IsReady()) << port->Problem();
    auto board = std::make_unique<DeviceEntry>(identity, port->Name());
    ASSERT_TRUE(board->IsReady());
    const std::wstring before = L"Velto Test Board (" + port->Name() + L")";
    ASSERT_TRUE(harness.Start());
    harness.window.SelectPort(before.c_str());
    connection.RefreshPorts(PORTS_CHANGED_REOPEN);
    ASSERT_TRUE(harness.WaitForOpens(1));
    ASSERT_TRUE(connection.IsOpen());
    EXPECT_EQ(harness.titles.back(), L"Console - " + before);

    board.reset();
    port.reset();
    ASSERT_TRUE(harness.PumpUntil([&] { return !connection.IsOpen(); }));
    connection.RefreshPorts(PORTS_CHANGED_REOPEN); // the removal's: the old name is tried while the board is away
    ASSERT_TRUE(harness.WaitForOpens(2));

    port = std::make_unique<VirtualPort>(kMovedTo);
    ASSERT_TRUE(port->IsReady()) << port->Problem();
    board = std::make_unique<DeviceEntry>(identity, port->Name());
    ASSERT_TRUE(board->IsReady());
    connection.RefreshPorts(PORTS_CHANGED_REOPEN);
    ASSERT_TRUE(harness.WaitForOpens(3));
    const std::wstring after = L"Velto Test Board (" + port->Name() + L")";
    EXPECT_TRUE(connection.IsOpen()) << Printable(harness.statuses).c_str();
    EXPECT_EQ(harness.window.SelectedPort().c_str(), after);
    EXPECT_EQ(harness.titles.back(), L"Console - " + after);
    harness.Stop(); // before the port goes
}

// Port-list contents after a refresh, as the main window reads them.
class PortListTest : public ConnectionTest {
protected:
    struct Seen {
        std::wstring name, target, tag, description;
        uint32_t present;
        PortKind kind;
    };

    std::vector<Seen> Entries() {
        std::vector<Seen> seen;
        C_PortList& list = connection.GetPortList();
        C_ReadLock hold(list);
        for (PortEntry* entry = list.First(); entry; entry = list.Next(entry))
            seen.push_back({entry->name.c_str(), entry->target.c_str(), entry->tag.c_str(), entry->description.c_str(),
                            entry->present, entry->kind});
        return seen;
    }
};

TEST_F(PortListTest, ListsSystemPortsWithTagsAndTheCommandLineTargetLast) {
    VirtualPort port(kOpenPort);
    ASSERT_TRUE(port.IsReady()) << port.Problem();
    harness.tags.tags[port.DevicePath()] = L"Bench";
    harness.tags.tags[L"udp://0.0.0.0:9999"] = L"Logs";
    harness.window.SetCommandLinePort(L"udp://0.0.0.0:9999");
    ASSERT_TRUE(harness.Start());
    connection.RefreshPorts(PORTS_CHANGED_REDRAW);
    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 1));

    std::vector<Seen> entries = Entries();
    ASSERT_GE(entries.size(), 2u);
    int matches = 0;
    for (const Seen& entry : entries) {
        if (entry.target != port.DevicePath())
            continue;
        ++matches;
        EXPECT_EQ(entry.name, port.Name());
        EXPECT_EQ(entry.tag, L"Bench");
        EXPECT_EQ(entry.description, port.DevicePath() + L" - \\Device\\VeltoVirtual43");
        EXPECT_EQ(entry.kind, PORT_KIND_OTHER);
        EXPECT_EQ(entry.present, 1u);
    }
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(entries.back().name, L"udp://0.0.0.0:9999");
    EXPECT_EQ(entries.back().target, L"udp://0.0.0.0:9999");
    EXPECT_EQ(entries.back().tag, L"Logs");
    EXPECT_EQ(entries.back().kind, PORT_KIND_UDP);
    harness.Stop(); // before the port goes: the probe may be opening it
}

TEST_F(PortListTest, ACommandLineNameThatAListedPortHasAddsNothing) {
    VirtualPort port(kOpenPort);
    ASSERT_TRUE(port.IsReady()) << port.Problem();
    harness.window.SetCommandLinePort(port.Name().c_str());
    ASSERT_TRUE(harness.Start());
    connection.RefreshPorts(PORTS_CHANGED_REDRAW);
    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 1));
    int named = 0;
    for (const Seen& entry : Entries())
        named += entry.name == port.Name();
    EXPECT_EQ(named, 1);
    harness.Stop();
}

TEST_F(PortListTest, TheProbeMarksWhatCannotBeOpened) {
    const std::wstring missing = UniquePipeName(L"absent");
    harness.window.SetCommandLinePort(missing.c_str());
    ASSERT_TRUE(harness.Start());
    connection.RefreshPorts(PORTS_CHANGED_REDRAW);
    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 1));
    ASSERT_FALSE(Entries().empty());
    EXPECT_EQ(Entries().back().name, missing);
    EXPECT_EQ(Entries().back().present, 1u) << "present until probed";

    ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 2)); // the probe's
    EXPECT_EQ(Entries().back().present, 0u);
}

} // namespace
