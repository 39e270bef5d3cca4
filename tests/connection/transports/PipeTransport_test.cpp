#include "connection/transports/PipeTransport.h"

#include "connection/TransportTestHost.h"
#include "connection/NameOf.h"
#include "connection/TransportWrite.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring UniqueName(const wchar_t* prefix) {
    static unsigned s_sequence = 0;
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++s_sequence);
}

std::wstring HelperPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"velto_pipe_peer.exe";
}

// The helper program serving one pipe; ended at the latest when the test ends.
class PipePeer {
public:
    explicit PipePeer(const wchar_t* mode) : m_pipe(UniqueName(L"\\\\.\\pipe\\velto-test-")) {
        const std::wstring events = UniqueName(L"Local\\velto-pipe-peer-");
        m_ready = C_Handle(CreateEventW(nullptr, TRUE, FALSE, (events + L"-ready").c_str()));
        m_go = C_Handle(CreateEventW(nullptr, TRUE, FALSE, (events + L"-go").c_str()));
        std::wstring command =
            L"\"" + HelperPath() + L"\" " + m_pipe + L" " + events + L"-ready " + events + L"-go " + mode;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                            &process))
            return;
        const C_Handle thread(process.hThread);
        m_process = C_Handle(process.hProcess);
        HANDLE either[] = {m_ready.Get(), m_process.Get()};
        m_started = WaitForMultipleObjects(2, either, FALSE, kTestTimeoutMs) == WAIT_OBJECT_0;
    }
    ~PipePeer() {
        if (m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.Get(), 1);
            WaitForSingleObject(m_process.Get(), kTestTimeoutMs);
        }
    }

    bool Started() const { return m_started; }
    const wchar_t* Pipe() const { return m_pipe.c_str(); }
    void Go() { SetEvent(m_go.Get()); }
    // The helper's exit code once it has ended by itself; -1 when it has not in time.
    int Exit() {
        DWORD code = 0;
        if (WaitForSingleObject(m_process.Get(), kTestTimeoutMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_process.Get(), &code))
            return -1;
        return int(code);
    }

private:
    std::wstring m_pipe;
    C_Handle m_ready, m_go, m_process;
    bool m_started = false;
};

class PipeTransportTest : public ::testing::Test {
protected:
    RecordingHost host;
    C_PipeTransport transport{host};
    C_String description;
};

TEST_F(PipeTransportTest, ConversesAndEndsWhenThePeerHasGone) {
    PipePeer peer(L"converse");
    ASSERT_TRUE(peer.Started());
    ASSERT_TRUE(transport.Open(peer.Pipe(), description));
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_EQ(peer.Pipe(), NameOf(transport));
    ASSERT_EQ(1u, host.Statuses().size());
    EXPECT_EQ(STATUS_OPENING, host.Statuses()[0].first);
    EXPECT_EQ(peer.Pipe(), host.Statuses()[0].second);

    ASSERT_TRUE(ReadUntilReceived(transport, host, 7));
    EXPECT_TRUE(WriteBytes(transport, "ping\n"));
    ASSERT_TRUE(ReadUntilReceived(transport, host, 17));
    EXPECT_EQ("hello\r\necho:ping\n", host.Received());
    EXPECT_EQ(0, peer.Exit());

    // No read is outstanding now, so the next one fails at once: the step ends the connection rather than
    // letting the reader spin on a dead pipe.
    EXPECT_FALSE(transport.ReadStep());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_FALSE(transport.ReadStep());
    EXPECT_EQ(peer.Pipe(), NameOf(transport)) << "the name stays after the close";
}

// While a partial line waits, each step gives up after a short wait; the read it started must stay the one
// that receives the rest of the line.
TEST_F(PipeTransportTest, ReadOutstandingAcrossShortWaitsReceivesTheRest) {
    PipePeer peer(L"split");
    ASSERT_TRUE(peer.Started());
    ASSERT_TRUE(transport.Open(peer.Pipe(), description));
    ASSERT_TRUE(ReadUntilReceived(transport, host, 3));
    const int flushesBefore = host.Flushes();
    for (int step = 0; step < 5; ++step)
        ASSERT_TRUE(transport.ReadStep());
    EXPECT_EQ(flushesBefore + 5, host.Flushes()) << "each short wait ended in an idle flush";

    peer.Go();
    ASSERT_TRUE(ReadUntilReceived(transport, host, 8));
    EXPECT_EQ("abcdef\r\n", host.Received());
    EXPECT_TRUE(transport.IsOpen());

    // Closing with a read outstanding cancels it; the helper sees the client go and ends.
    ASSERT_TRUE(transport.ReadStep());
    transport.Close();
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(0, peer.Exit());
}

TEST_F(PipeTransportTest, MissingPipeFailsWithTheSystemsError) {
    const std::wstring missing = UniqueName(L"\\\\.\\pipe\\velto-missing-");
    EXPECT_FALSE(transport.Open(missing.c_str(), description));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(missing, host.Statuses().at(0).second);
    EXPECT_FALSE(transport.Probe(missing.c_str()));
    EXPECT_FALSE(transport.ReadStep());
    EXPECT_FALSE(WriteBytes(transport, "nowhere"));
    transport.Close();
}

class LocalPipe {
public:
    explicit LocalPipe(DWORD bufferSize = 4096) : m_name(UniqueName(L"\\\\.\\pipe\\velto-local-")) {
        m_server = C_Handle(CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 1, bufferSize, bufferSize, 0, nullptr));
    }
    const wchar_t* Name() const { return m_name.c_str(); }
    HANDLE Server() const { return m_server.Get(); }

private:
    std::wstring m_name;
    C_Handle m_server;
};

TEST_F(PipeTransportTest, BusyPipeFailsWithTheSystemsErrorAndProbesAsUnavailable) {
    LocalPipe pipe;
    ASSERT_TRUE(pipe.Server() != nullptr);
    EXPECT_TRUE(transport.Probe(pipe.Name()));
    EXPECT_FALSE(transport.IsOpen()) << "a probe leaves the transport alone";

    // The probe's client has come and gone; until the server disconnects it, the only instance is taken.
    EXPECT_FALSE(transport.Open(pipe.Name(), description));
    EXPECT_EQ(DWORD(ERROR_PIPE_BUSY), GetLastError());
    EXPECT_FALSE(transport.Probe(pipe.Name()));
}

TEST_F(PipeTransportTest, WriteToAPeerThatDoesNotReadGivesUpAndKeepsThePipe) {
    LocalPipe pipe(1);
    ASSERT_TRUE(transport.Open(pipe.Name(), description));
    const std::string flood(1024 * 1024, 'w');

    EXPECT_FALSE(WriteBytes(transport, flood)) << "waits for its limit, then cancels";

    EXPECT_TRUE(transport.IsOpen());
    DisconnectNamedPipe(pipe.Server());
}

} // namespace
