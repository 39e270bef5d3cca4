// A port session without a window, on a named pipe this test serves: what it receives reaches every part, what it
// tells its host and when, and how it behaves when its peer goes.
#include "session/port/PortSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kLimitMs = 20000;

std::wstring UniquePipeName() {
    static unsigned s_sequence = 0;
    return L"\\\\.\\pipe\\velto-session-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++s_sequence);
}

// The server end of a byte pipe with one instance, written to and read from with limits.
class PipeServer {
public:
    PipeServer() : m_name(UniquePipeName()) { Listen(); }

    const wchar_t* Name() const { return m_name.c_str(); }
    void Listen() {
        m_pipe = C_Handle(CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr));
    }
    void Hangup() { m_pipe = C_Handle(); }
    bool Write(const std::string& bytes) { return Transfer(true, const_cast<char*>(bytes.data()), bytes.size()); }
    std::string Read(size_t count) {
        std::string bytes(count, '\0');
        return Transfer(false, &bytes[0], count) ? bytes : std::string();
    }

private:
    bool Transfer(bool write, char* data, size_t count) {
        C_Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        for (size_t at = 0; at < count;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = done.Get();
            DWORD moved = 0;
            const BOOL started = write ? WriteFile(m_pipe.Get(), data + at, DWORD(count - at), nullptr, &overlapped)
                                       : ReadFile(m_pipe.Get(), data + at, DWORD(count - at), nullptr, &overlapped);
            if ((!started && GetLastError() != ERROR_IO_PENDING) ||
                WaitForSingleObject(done.Get(), kLimitMs) != WAIT_OBJECT_0 ||
                !GetOverlappedResult(m_pipe.Get(), &overlapped, &moved, FALSE))
                return false;
            at += moved;
        }
        return true;
    }

    std::wstring m_name;
    C_Handle m_pipe;
};

struct RecordingHost final : public C_SessionHost {
    std::vector<SessionEvent> events;
    std::vector<uint32_t> notices;
    void OnSessionEvent(uint32_t, SessionEvent event) override { events.push_back(event); }
    void OnSessionNotice(uint32_t session, uint32_t code) override { notices.push_back(session * 1000 + code); }
    void ShowSessionStatus(uint32_t, const wchar_t*, const wchar_t*) override {}
    void LoadText(unsigned, C_String& text) override { text.Assign(L"text"); }
    size_t Count(SessionEvent event) const {
        size_t count = 0;
        for (SessionEvent seen : events)
            count += seen == event;
        return count;
    }
};

struct PlainOptions final : public C_ConnectionOptions {
    uint32_t GetCharSendDelay() override { return 0; }
    uint32_t GetLineDelay() override { return 0; }
    SerialLineSettings GetSerialLineSettings(const wchar_t*) override { return {}; }
    void GetCommandLinePort(C_String& port) override { port.Empty(); }
    void LoadTag(const wchar_t*, C_String& tag) override { tag.Empty(); }
};

struct NoPorts final : public C_PortScanHost {
    HWND PortsWindow() override { return nullptr; }
    void LoadTag(const wchar_t*, C_String& tag) override { tag.Empty(); }
    bool CommandLinePort(uint32_t, C_String&) override { return false; }
};

struct TextSink final : public C_LogSink {
    C_CriticalSection lock;
    std::wstring text;
    void AppendToLog(const wchar_t* part, uint32_t length) override {
        C_Lock hold(lock);
        text.append(part, length);
    }
};

struct ByteSink final : public C_ByteRecorder {
    C_CriticalSection lock;
    std::string received, sent;
    void RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) override {
        C_Lock hold(lock);
        (direction == ByteDirection::Received ? received : sent).append(reinterpret_cast<const char*>(data), length);
    }
};

bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kLimitMs)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

std::wstring StoreText(C_LineStore& store) {
    C_Lock hold(store.Lock());
    std::wstring text(store.Cells(), store.CellCount());
    for (wchar_t& c : text)
        if (c == C_LineStore::kEndMarker)
            c = L'\n';
    return text;
}

class PortSessionTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scanner.Start(ports)); }
    void TearDown() override {
        session.Stop();
        scanner.Stop();
    }
    void OpenOnPipe() {
        ASSERT_TRUE(session.Start());
        session.Open(pipe.Name());
        ASSERT_TRUE(PumpUntil([&] { return session.IsOpen(); }));
    }

    NoPorts ports;
    C_PortScanner scanner;
    RecordingHost host;
    PlainOptions options;
    PipeServer pipe;
    C_PortSession session{7, host, options, scanner};
};

TEST_F(PortSessionTest, ReceivedBytesReachTheStoreTheJournalAndEveryEngineAndTypedOnesThePeer) {
    TextSink lines;
    ByteSink bytes;
    ASSERT_TRUE(session.AddLineSink(&lines));
    ASSERT_TRUE(session.AddByteRecorder(&bytes));
    OpenOnPipe();

    ASSERT_TRUE(pipe.Write("boot ok\r\n\x1b[31mred\x1b[0m\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return StoreText(session.Store()).find(L"red\n") != std::wstring::npos; }));
    EXPECT_EQ(StoreText(session.Store()).rfind(L"boot ok\nred\n", 0), 0u);
    EXPECT_TRUE(PumpUntil([&] {
        C_Lock hold(lines.lock);
        return lines.text == L"boot ok\nred\n";
    }));
    {
        C_Lock hold(bytes.lock);
        EXPECT_EQ(bytes.received, "boot ok\r\n\x1b[31mred\x1b[0m\r\n");
    }
    EXPECT_EQ(session.Journal().GetExtent().endByte, 23u);

    EXPECT_TRUE(session.PostNotice(42));
    EXPECT_TRUE(PumpUntil([&] { return host.notices == std::vector<uint32_t>{7042}; })) << "an engine's news, by id";

    session.Connection().SendText(L"ls\r");
    EXPECT_EQ(pipe.Read(3), "ls\r");
    EXPECT_TRUE(PumpUntil([&] {
        C_Lock hold(bytes.lock);
        return bytes.sent == "ls\r";
    }));
}

// A session behind others marks that lines came once, until it is seen; one in front never does.
TEST_F(PortSessionTest, LinesArrivingBehindAreToldOnceUntilSeenAndNeverInFront) {
    OpenOnPipe();
    const struct {
        bool inFront;
        size_t told;
    } steps[] = {{true, 0}, {false, 1}, {false, 1}, {true, 1}, {false, 2}};
    int line = 0;
    for (const auto& step : steps) {
        session.SetInFront(step.inFront);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(pipe.Write("line " + std::to_string(++line) + "\r\n"));
        const std::wstring last = L"line " + std::to_wstring(line) + L"\n";
        ASSERT_TRUE(PumpUntil([&] { return StoreText(session.Store()).find(last) != std::wstring::npos; }));
        PumpUntil([&] { return host.Count(SessionEvent::Activity) >= step.told; });
        EXPECT_EQ(host.Count(SessionEvent::Activity), step.told) << "after line " << line;
        EXPECT_EQ(session.HasUnseenLines(), !step.inFront) << "after line " << line;
    }
}

// A target that goes while the user wants it is lost, and opens again when asked; one the user closed is not.
TEST_F(PortSessionTest, APeerThatGoesLeavesTheSessionLostUntilReopenedAndAClosedOneStaysClosed) {
    OpenOnPipe();
    EXPECT_FALSE(session.IsLost());
    pipe.Hangup();
    ASSERT_TRUE(PumpUntil([&] { return session.IsLost(); }));
    EXPECT_GE(host.Count(SessionEvent::State), 2u) << "opened, then closed";

    pipe.Listen();
    EXPECT_TRUE(session.ReopenIfLost());
    EXPECT_FALSE(session.ReopenIfLost()) << "an open is under way";
    ASSERT_TRUE(PumpUntil([&] { return session.IsOpen(); }));

    session.Close();
    ASSERT_TRUE(PumpUntil([&] { return !session.IsOpen(); }));
    EXPECT_FALSE(session.IsLost());
    EXPECT_FALSE(session.ReopenIfLost());
    EXPECT_STREQ(session.Target().c_str(), pipe.Name()) << "the tab still knows its port";
}

} // namespace
