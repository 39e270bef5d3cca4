#include "connection/transports/SerialTransport.h"

#include "connection/NameOf.h"
#include "connection/SerialTestHost.h"
#include "connection/ThreadTestSupport.h"
#include "connection/TransportWrite.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

// These tests run against real pseudo-terminal pairs that Wine opens as COM ports (scripts/virtual-port). What
// Wine does differently from Windows on such a port, and how the tests deal with it:
// - A comm-event wait never stays pending: Wine polls the modem lines, which a pseudo-terminal does not have,
//   and ends the wait within milliseconds without an event. So a read step rarely times out; it wakes, finds
//   the queue empty and counts that as an idle wait.
// - A vanished pair does not fail the mask setting (Windows: ERROR_BAD_COMMAND or ERROR_ACCESS_DENIED); the
//   queue query fails with ERROR_NOT_READY instead, which the read step also takes for a removed device.
// - Parity cannot be seen on a pseudo-terminal (the kernel clears the parity-enable bit); the parity-check and
//   odd/mark bits that Wine sets alongside it can.
namespace {

constexpr unsigned kPortNumber = 41; // the connection tests own COM41 to COM48 of their build's prefix
constexpr wchar_t kMissingPort[] = L"\\\\.\\COM48";

bool WriteAll(HANDLE end, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(end, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

// Reads from the device end until size bytes came or the limit passed.
std::string ReadFromDevice(HANDLE end, size_t size, DWORD limitMs = kGenerousWait) {
    std::string bytes;
    const DWORD start = GetTickCount();
    char buffer[4096];
    while (bytes.size() < size && GetTickCount() - start < limitMs) {
        DWORD count = 0;
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, size - bytes.size()));
        if (!ReadFile(end, buffer, want, &count, nullptr))
            break;
        bytes.append(buffer, count);
    }
    return bytes;
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

// Bytes 1 to 255 only: what a zero-terminated text can carry.
std::string TextPattern(size_t size) {
    std::string bytes = Pattern(size);
    for (char& byte : bytes)
        if (byte == 0)
            byte = 1;
    return bytes;
}

bool Contains(const std::string& text, const std::string& word) {
    return (" " + text + " ").find(" " + word + " ") != std::string::npos ||
           text.find(" " + word + "\n") != std::string::npos || text.find("\n" + word + " ") != std::string::npos;
}

class SerialTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = std::make_unique<VirtualPort>(kPortNumber);
        ASSERT_TRUE(port->IsReady()) << port->Problem();
        transport.Start();
    }
    void TearDown() override {
        transport.Close();
        transport.Stop();
    }

    bool OpenPort() { return transport.Open(port->DevicePath().c_str(), description); }

    // Runs read steps on this thread until done() holds; false when the limit passed or a step ended the
    // connection (ended tells which).
    bool StepUntil(const std::function<bool()>& done, bool* ended = nullptr, DWORD limitMs = kGenerousWait) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > limitMs)
                return false;
            if (!transport.ReadStep()) {
                if (ended)
                    *ended = true;
                return done();
            }
        }
        return true;
    }

    std::unique_ptr<VirtualPort> port;
    SerialTestHost host;
    C_SerialTransport transport{host};
    C_String description;
};

} // namespace

TEST(SerialDescription, NamesBaudWordParityAndStopBits) {
    struct Case {
        DWORD baud;
        BYTE parity, stopBits;
        const wchar_t* text;
    } cases[] = {
        {115200, NOPARITY, ONESTOPBIT, L"115200 baud 8N1"},
        {9600, EVENPARITY, ONE5STOPBITS, L"9600 baud 8E1.5"},
        {300, ODDPARITY, TWOSTOPBITS, L"300 baud 8O2"},
        {9600, MARKPARITY, ONESTOPBIT, L"9600 baud 81"},
        {9600, SPACEPARITY, 7, L"9600 baud 8"},
    };
    for (const Case& c : cases) {
        C_String text;
        ASSERT_TRUE(C_SerialTransport::Describe({c.baud, c.parity, c.stopBits}, text));
        EXPECT_STREQ(text.c_str(), c.text);
    }
}

TEST(SerialPendingWrite, TheWaitCoversWhatTheBytesNeedOnTheLineWithinACeiling) {
    struct Case {
        DWORD bytes, baud;
        BYTE parity, stopBits;
        DWORD limitMs;
    } cases[] = {
        {0, 115200, NOPARITY, ONESTOPBIT, C_SerialTransport::kPendingWriteMarginMs},
        {1, 9600, NOPARITY, ONESTOPBIT, C_SerialTransport::kPendingWriteMarginMs + 2}, // 10 bits: 1.04 ms
        {960, 9600, NOPARITY, ONESTOPBIT, C_SerialTransport::kPendingWriteMarginMs + 1000},
        {960, 9600, EVENPARITY, TWOSTOPBITS, C_SerialTransport::kPendingWriteMarginMs + 1200},
        {1920, 19200, NOPARITY, ONE5STOPBITS, C_SerialTransport::kPendingWriteMarginMs + 1050},
        {64 * 1024, 115200, NOPARITY, ONESTOPBIT, C_SerialTransport::kPendingWriteCeilingMs},
        {0xFFFFFFFF, 300, MARKPARITY, TWOSTOPBITS, C_SerialTransport::kPendingWriteCeilingMs},
        {10, 0, NOPARITY, ONESTOPBIT, C_SerialTransport::kPendingWriteCeilingMs},
    };
    for (const Case& c : cases) {
        SerialPortSettings settings;
        settings.baudRate = c.baud;
        settings.parity = c.parity;
        settings.stopBits = c.stopBits;
        EXPECT_EQ(C_SerialTransport::PendingWriteLimitMs(c.bytes, settings), c.limitMs) << c.bytes << " at " << c.baud;
    }
}

TEST_F(SerialTransportTest, OpensADevicePathAndKeepsItsNameAfterClosing) {
    host.line = {57600, NOPARITY, ONESTOPBIT};
    ASSERT_TRUE(OpenPort()) << "error " << GetLastError();
    EXPECT_TRUE(transport.IsOpen());
    EXPECT_EQ(NameOf(transport), port->DevicePath());
    EXPECT_STREQ(description.c_str(), L"57600 baud 8N1");
    ASSERT_EQ(host.Statuses().size(), 1u);
    EXPECT_EQ(host.Statuses()[0].first, STATUS_OPENING);
    EXPECT_EQ(host.Statuses()[0].second, port->DevicePath());
    transport.Close();
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(NameOf(transport), port->DevicePath());
}

TEST_F(SerialTransportTest, OpenFailsForAnUnlistedPortButStillDescribesTheLine) {
    host.line = {9600, EVENPARITY, ONE5STOPBITS};
    // A target is only a match through the port list, compared exactly: a device path nobody lists and a name
    // that differs from the listed one in case both fail without opening anything, leaving the last error alone.
    const std::wstring unlisted = L"com" + std::to_wstring(kPortNumber);
    for (const std::wstring& target : {std::wstring(kMissingPort), unlisted}) {
        SetLastError(12345);
        EXPECT_FALSE(transport.Open(target.c_str(), description));
        EXPECT_EQ(GetLastError(), 12345u);
        EXPECT_FALSE(transport.IsOpen());
        EXPECT_EQ(NameOf(transport), L"");
        EXPECT_STREQ(description.c_str(), L"9600 baud 8E1.5");
    }
    ASSERT_EQ(host.Statuses().size(), 2u) << "the status is shown whether or not a port matched";
    EXPECT_EQ(host.Statuses()[1].second, unlisted);
}

TEST_F(SerialTransportTest, ProbeAnswersWithoutTouchingTheOpenPort) {
    EXPECT_TRUE(transport.Probe(port->DevicePath().c_str()));
    EXPECT_FALSE(transport.Probe(kMissingPort));
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(NameOf(transport), L"") << "a probe uses a port object of its own";
}

TEST_F(SerialTransportTest, LineSettingsReachTheDevice) {
    struct Case {
        DWORD baud;
        BYTE parity, stopBits;
        std::vector<std::string> expected; // as stty -a shows the COM end
    } cases[] = {
        {115200, NOPARITY, ONESTOPBIT, {"speed 115200 baud;", "-cstopb", "-inpck", "cs8"}},
        {9600, ODDPARITY, ONESTOPBIT, {"speed 9600 baud;", "-cstopb", "inpck", "parodd", "-cmspar"}},
        {19200, EVENPARITY, ONESTOPBIT, {"speed 19200 baud;", "inpck", "-parodd", "-cmspar"}},
        {38400, MARKPARITY, ONESTOPBIT, {"speed 38400 baud;", "inpck", "parodd", "cmspar"}},
        {4800, SPACEPARITY, ONESTOPBIT, {"speed 4800 baud;", "inpck", "-parodd", "cmspar"}},
        {2400, NOPARITY, ONE5STOPBITS, {"speed 2400 baud;", "cstopb"}},
        {1200, NOPARITY, TWOSTOPBITS, {"speed 1200 baud;", "cstopb"}},
    };
    for (const Case& c : cases) {
        host.line = {c.baud, c.parity, c.stopBits};
        ASSERT_TRUE(OpenPort()) << c.baud;
        const std::string settings = port->LineSettings();
        ASSERT_FALSE(settings.empty());
        for (const std::string& word : c.expected) {
            if (word.find(' ') != std::string::npos)
                EXPECT_NE(settings.find(word), std::string::npos) << word << " in\n" << settings;
            else
                EXPECT_TRUE(Contains(settings, word)) << word << " for " << c.baud << " in\n" << settings;
        }
        transport.Close();
    }
}

TEST_F(SerialTransportTest, TheChosenFlowControlReplacesWhatTheDeviceHad) {
    {
        // Another program left hardware and software flow control switched on.
        const C_Handle other(CreateFileW(port->DevicePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        DCB state{};
        state.DCBlength = sizeof state;
        ASSERT_TRUE(GetCommState(other.Get(), &state));
        state.fOutxCtsFlow = TRUE;
        state.fOutX = TRUE;
        state.fInX = TRUE;
        ASSERT_TRUE(SetCommState(other.Get(), &state));
    }
    struct Case {
        uint8_t flow;
        std::vector<std::string> expected; // as stty -a shows the COM end
    } cases[] = {
        {FLOW_NONE, {"-crtscts", "-ixon", "-ixoff"}},
        {FLOW_RTS_CTS, {"crtscts", "-ixon", "-ixoff"}},
        {FLOW_XON_XOFF, {"-crtscts", "ixon", "ixoff"}},
    };
    for (const Case& c : cases) {
        host.line.flowControl = c.flow;
        ASSERT_TRUE(OpenPort());
        const std::string settings = port->LineSettings();
        for (const std::string& word : c.expected)
            EXPECT_TRUE(Contains(settings, word)) << word << " for flow " << int(c.flow) << " in\n" << settings;
        transport.Close();
    }
}

TEST_F(SerialTransportTest, ReadsABurstWithoutLossOrReordering) {
    constexpr size_t kBurst = 100 * 1024;
    const std::string burst = Pattern(kBurst);
    ASSERT_TRUE(OpenPort());
    C_Handle device(port->OpenDeviceEnd());
    ASSERT_TRUE(device);
    struct Writer {
        HANDLE device;
        const std::string* bytes;
    } writer{device.Get(), &burst};
    C_Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* writer = static_cast<Writer*>(raw);
            return WriteAll(writer->device, *writer->bytes) ? 1 : 0;
        },
        &writer));
    bool ended = false;
    EXPECT_TRUE(StepUntil([&] { return host.Received().size() >= kBurst; }, &ended)) << host.Received().size();
    EXPECT_FALSE(ended);
    ASSERT_TRUE(WaitUntilFinished(thread));
    DWORD written = 0;
    ASSERT_TRUE(thread.IsFinished(&written));
    EXPECT_EQ(written, 1u);
    EXPECT_TRUE(host.Received() == burst) << "received " << host.Received().size() << " bytes, not the burst";
    for (uint32_t block : host.Blocks())
        ASSERT_LE(block, C_SerialTransport::kReadChunk);
}

TEST_F(SerialTransportTest, DrainsEverythingQueuedInOneStep) {
    constexpr size_t kQueued = 4000; // fits the pseudo-terminal's input buffer, so all of it can be queued at once
    ASSERT_TRUE(OpenPort());
    // Wine lets a second handle look at the queue (Windows would refuse it): wait until all of it is there.
    HANDLE observer = CreateFileW(port->DevicePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(observer, INVALID_HANDLE_VALUE);
    C_Handle observing(observer);
    C_Handle device(port->OpenDeviceEnd());
    ASSERT_TRUE(WriteAll(device.Get(), Pattern(kQueued)));
    COMSTAT status{};
    const DWORD start = GetTickCount();
    DWORD errors = 0;
    while (ClearCommError(observer, &errors, &status) && status.cbInQue < kQueued &&
           GetTickCount() - start < kGenerousWait)
        Sleep(10); // the queue offers nothing to wait on: look again shortly
    ASSERT_EQ(status.cbInQue, kQueued);

    EXPECT_TRUE(transport.ReadStep());
    EXPECT_EQ(host.Received(), Pattern(kQueued));
    EXPECT_EQ(host.Blocks(), (std::vector<uint32_t>{1024, 1024, 1024, 928}));
}

TEST_F(SerialTransportTest, AStepWithoutDataFlushesTheWaitingLine) {
    ASSERT_TRUE(OpenPort());
    host.SetPendingLine(true);
    // Windows: the 20 ms wait times out. Wine: the comm-event wait ends early with nothing queued. Both are idle.
    EXPECT_TRUE(transport.ReadStep());
    EXPECT_EQ(host.Flushes(), 1);
    EXPECT_TRUE(host.Received().empty());
    EXPECT_TRUE(transport.IsOpen());
}

TEST_F(SerialTransportTest, StopRequestEndsTheStepAndClosesThePort) {
    ASSERT_TRUE(OpenPort());
    host.SetPendingLine(false); // a wait without limit: only the wake-up can end it
    host.RequestStopAndWake();
    EXPECT_FALSE(transport.ReadStep());
    EXPECT_FALSE(transport.IsOpen());
}

TEST_F(SerialTransportTest, WritesWhetherOpenOrClosed) {
    ASSERT_TRUE(OpenPort());
    C_Handle device(port->OpenDeviceEnd());
    const std::string bytes("hello\0device\xFF", 13); // zero and high bytes go out as they are
    EXPECT_TRUE(WriteBytes(transport, bytes));
    EXPECT_EQ(ReadFromDevice(device.Get(), 13), bytes);

    EXPECT_TRUE(WriteBytes(transport, ""));
    EXPECT_TRUE(transport.Write(nullptr, 0));
    EXPECT_EQ(ReadFromDevice(device.Get(), 1, 300), "") << "nothing to write sends nothing";

    // Closed: the port opens for the write and closes again, and the bytes still arrive whole.
    transport.Close();
    WriteBytes(transport, "while closed");
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(ReadFromDevice(device.Get(), 12), "while closed");
}

TEST_F(SerialTransportTest, AWriteThatOutlastsItsWaitStillArrivesWholeAndInOrder) {
    // With nobody reading the device end, the pair's buffers fill up and the write is still pending when its
    // wait ends. Its record must stay valid until it completes, and the next write must come after it.
    constexpr size_t kLarge = 256 * 1024;
    const std::string large = TextPattern(kLarge);
    ASSERT_TRUE(OpenPort());
    C_Handle device(port->OpenDeviceEnd());
    WriteBytes(transport, large);
    struct Reader {
        HANDLE device;
        size_t size;
        std::string bytes;
    } reader{device.Get(), kLarge + 4, {}};
    C_Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* reader = static_cast<Reader*>(raw);
            reader->bytes = ReadFromDevice(reader->device, reader->size, 60000);
            return 0;
        },
        &reader));
    WriteBytes(transport, "tail");
    ASSERT_TRUE(WaitUntilFinished(thread, 90000));
    EXPECT_EQ(reader.bytes.size(), kLarge + 4);
    EXPECT_TRUE(reader.bytes == large + "tail") << "the bytes arrived changed or out of order";
}

TEST_F(SerialTransportTest, AWriteBehindAStalledOneWaitsOnlyWhatTheLineNeeds) {
    // Nobody reads the device end, as when flow control has stopped the line: a large paste stays pending. The
    // next write, and every command queued behind it, must not wait 100 ms per byte of it.
    const std::string large = TextPattern(256 * 1024);
    ASSERT_TRUE(OpenPort());
    C_Handle device(port->OpenDeviceEnd());
    WriteBytes(transport, large); // returns after its own wait, still pending
    C_Thread next;
    ASSERT_TRUE(next.Start(
        [](void* raw, DWORD) -> DWORD {
            WriteBytes(*static_cast<C_SerialTransport*>(raw), "next");
            return 0;
        },
        &transport));
    const bool bounded = WaitUntilFinished(next);
    EXPECT_TRUE(bounded) << "the write behind the stalled one still waits";
    if (!bounded) { // let the stalled write end, so the waiting one can
        ReadFromDevice(device.Get(), large.size() + 4, 60000);
        ASSERT_TRUE(WaitUntilFinished(next, 60000));
    }
}

TEST_F(SerialTransportTest, AnUnpluggedAdapterEndsTheReaderInsteadOfSpinning) {
    ASSERT_TRUE(OpenPort());
    {
        C_Handle device(port->OpenDeviceEnd());
        ASSERT_TRUE(WriteAll(device.Get(), "before"));
        ASSERT_TRUE(StepUntil([&] { return host.Received() == "before"; }));
    }
    ASSERT_TRUE(port->Unplug());
    // Windows: the next mask setting fails (ERROR_BAD_COMMAND or ERROR_ACCESS_DENIED). Wine: setting the mask and
    // starting the wait still succeed, and the queue query fails with ERROR_NOT_READY. Either ends the reader.
    bool ended = false;
    StepUntil([] { return false; }, &ended);
    EXPECT_TRUE(ended) << "the read step never gave up on the vanished device";
    EXPECT_FALSE(transport.IsOpen());
    EXPECT_EQ(host.Received(), "before");

    EXPECT_FALSE(OpenPort()) << "a port that is gone cannot be opened";
    EXPECT_EQ(NameOf(transport), L"") << "it is no longer listed, so nothing is even tried";
}

TEST(SerialPortName, ReadersOnOtherThreadsSeeOneWholeNameWhileItChanges) {
    // The command thread names the port at every open while the user-interface and probe threads read the name.
    static const std::wstring kNames[] = {std::wstring(2000, L'a'), std::wstring(3000, L'b')};
    constexpr int kChanges = 100000;
    struct Writer {
        C_SerialPort port;
        std::atomic<bool> done{false};
    } writer;
    writer.port.SetName(kNames[0].c_str(), true);
    C_Thread thread;
    ASSERT_TRUE(thread.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* writer = static_cast<Writer*>(raw);
            for (int change = 0; change < kChanges; ++change)
                writer->port.SetName(kNames[change % 2].c_str(), true);
            writer->done = true;
            return 0;
        },
        &writer));
    int reads = 0;
    int torn = 0;
    while (!writer.done) {
        const std::wstring seen = NameOf(writer.port);
        ++reads;
        if (seen != kNames[0] && seen != kNames[1])
            ++torn;
    }
    ASSERT_TRUE(WaitUntilFinished(thread));
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}
