#include "connection/ConnectionHarness.h"
#include "connection/RecordingComm.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Breaks, reset pulses and modem lines as commands of the connection: in order with the texts around them, timed
// on the command thread, and told when the driver refuses. The line calls are recorded (played where the test
// needs a driver with modem lines); see SerialLineControl_test.cpp for what this Wine does on a pseudo-terminal.
namespace {

constexpr unsigned kPortNumber = 46; // the connection tests own COM41 to COM48; this file's
constexpr DWORD kBreakMs = 250;
constexpr DWORD kPulseMs = 100;
constexpr DWORD kCharDelayMs = 100;
// A wait of n ms may end up to a timer tick early.
constexpr double kTimerSlackMs = 16;
// The device end's reader notes an arrival a little after it happened; this much later still counts as before.
constexpr double kReaderLagMs = 100;

// Reads the device end byte by byte on a thread of its own, noting when each byte came.
class DeviceEndReader {
public:
    explicit DeviceEndReader(HANDLE end) : m_end(end) {
        m_thread = std::thread([this] {
            while (!m_stop) {
                char byte = 0;
                DWORD read = 0;
                if (!ReadFile(m_end, &byte, 1, &read, nullptr))
                    return;
                if (read == 1) {
                    std::lock_guard<std::mutex> hold(m_mutex);
                    m_arrivals.push_back({byte, NowMs()});
                }
            }
        });
    }
    ~DeviceEndReader() {
        m_stop = true;
        m_thread.join(); // each read waits at most the device end's read time-out
    }
    std::vector<std::pair<char, double>> Arrivals() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_arrivals;
    }
    double ArrivalOf(char byte) {
        for (const auto& arrival : Arrivals())
            if (arrival.first == byte)
                return arrival.second;
        return -1;
    }

private:
    HANDLE m_end;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::pair<char, double>> m_arrivals;
    std::thread m_thread;
};

class ConnectionLineControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(port.IsReady()) << port.Problem();
        harness.connection.UseCommFunctions(comm);
    }

    // Opens the port with these settings; n counts the opens so far.
    void Open(const SerialLineSettings& line, size_t n) {
        harness.window.SetSerialLineSettings(line);
        harness.connection.OpenTarget(port.Name().c_str());
        ASSERT_TRUE(harness.WaitForOpens(n));
        ASSERT_TRUE(harness.connection.IsOpen()) << Printable(harness.statuses).c_str();
    }
    bool FinishCommands() {
        return harness.PumpUntil([&] { return harness.connection.CommandsDone(); });
    }
    std::vector<Status> Refusals() const {
        std::vector<Status> refusals;
        for (const Status& status : harness.statuses)
            if (status.id == kRefusalTitleId)
                refusals.push_back(status);
        return refusals;
    }

    VirtualPort port{kPortNumber};
    RecordingComm comm;
    ConnectionHarness harness;
};

TEST_F(ConnectionLineControlTest, ABreakComesAfterTheTextBeforeItLastsItsTimeAndPrecedesTheTextAfter) {
    comm.breaks = RecordingComm::Play::Done; // this Wine takes a break too, but the test should not depend on it
    harness.window.SetCharSendDelay(kCharDelayMs);
    ASSERT_TRUE(harness.Start());
    Open({}, 1);
    const C_Handle device(port.OpenDeviceEnd());
    ASSERT_TRUE(device);
    DeviceEndReader reader(device.Get());

    harness.connection.SendText(L"abc");
    harness.connection.SendBreak(kBreakMs);
    harness.connection.SendText(L"d");
    ASSERT_TRUE(harness.PumpUntil([&] { return reader.Arrivals().size() >= 4; }));

    const double start = comm.TimeOf("SetBreak");
    const double end = comm.TimeOf("ClearBreak");
    ASSERT_GT(start, 0);
    EXPECT_GE(end - start, kBreakMs - kTimerSlackMs);
    EXPECT_LE(reader.ArrivalOf('c'), start + kReaderLagMs) << "the text queued before the break went first";
    EXPECT_GE(reader.ArrivalOf('d'), end) << "the text queued after the break waited for its end";
    EXPECT_TRUE(Refusals().empty());
}

TEST_F(ConnectionLineControlTest, AResetPulseDropsTheChosenLinesForItsTimeAndRestoresThem) {
    comm.escape = RecordingComm::Play::Done; // a driver with modem lines
    struct Case {
        uint8_t flow, linesAtOpen, pulsed;
        std::vector<std::string> calls;
    } cases[] = {
        {FLOW_NONE, kBothModemLines, LINE_DTR, {"CLRDTR", "SETDTR"}},
        {FLOW_NONE, kBothModemLines, kBothModemLines, {"CLRDTR", "CLRRTS", "SETDTR", "SETRTS"}},
        {FLOW_RTS_CTS, kBothModemLines, kBothModemLines, {"CLRDTR", "SETDTR"}}, // RTS is the handshake's
        {FLOW_NONE, LINE_RTS, LINE_DTR, {"CLRDTR"}},                            // down before, down after
        {FLOW_DSR_DTR, kBothModemLines, LINE_DTR, {}},
    };
    ASSERT_TRUE(harness.Start());
    size_t opens = 0;
    for (const Case& c : cases) {
        SerialLineSettings line;
        line.flowControl = c.flow;
        line.linesAtOpen = c.linesAtOpen;
        Open(line, ++opens);
        comm.Forget();
        harness.connection.PulseLines(c.pulsed, kPulseMs);
        ASSERT_TRUE(FinishCommands());
        EXPECT_EQ(comm.Names(), c.calls) << "flow " << int(c.flow) << ", pulsed " << int(c.pulsed);
        if (c.calls.size() >= 2 && c.calls.back()[0] == 'S') {
            EXPECT_GE(comm.TimeOf("SETDTR") - comm.TimeOf("CLRDTR"), kPulseMs - kTimerSlackMs);
        }
        LineState state;
        ASSERT_TRUE(harness.connection.GetLineState(state));
        EXPECT_EQ(state.raisedLines & ~HandshakeLines(c.flow), c.linesAtOpen & ~HandshakeLines(c.flow));
    }
    EXPECT_TRUE(harness.remembered.empty()) << "a pulse changes nothing for the next opening";
}

TEST_F(ConnectionLineControlTest, ModemLinesTakenByTheDriverAreRememberedAndARefusalIsToldOnce) {
    comm.escape = RecordingComm::Play::Done;
    ASSERT_TRUE(harness.Start());
    Open({}, 1);
    harness.connection.SetModemLines(LINE_DTR, false);
    ASSERT_TRUE(FinishCommands());
    LineState state;
    ASSERT_TRUE(harness.connection.GetLineState(state));
    EXPECT_EQ(state.raisedLines, LINE_RTS);

    SerialLineSettings handshake;
    handshake.flowControl = FLOW_RTS_CTS;
    Open(handshake, 2);
    harness.connection.SetModemLines(kBothModemLines, true);
    ASSERT_TRUE(FinishCommands());
    EXPECT_EQ(harness.remembered, (std::vector<std::wstring>{port.DevicePath() + L"|1|0", port.DevicePath() + L"|1|1"}))
        << "RTS is left to the handshake";

    comm.escape = RecordingComm::Play::Refused;
    Open({}, 3);
    harness.connection.SetModemLines(LINE_DTR, false);
    harness.connection.SetModemLines(LINE_RTS, false);
    ASSERT_TRUE(FinishCommands());
    EXPECT_EQ(harness.remembered.size(), 2u) << "a refused change is not remembered";
    EXPECT_EQ(Refusals(), (std::vector<Status>{{kRefusalTitleId, port.Name() + L" does not support DTR/RTS control"}}));
    EXPECT_TRUE(harness.connection.IsOpen()) << "the port stays open";
}

TEST_F(ConnectionLineControlTest, ARefusedLineFailsTheOpenAndTheStatusSaysWhichLine) {
    comm.refuseState = [](const DCB& state) { return state.ByteSize == 7; };
    ASSERT_TRUE(harness.Start());
    SerialLineSettings line{9600, EVENPARITY, ONESTOPBIT};
    line.dataBits = 7;
    harness.window.SetSerialLineSettings(line);
    harness.connection.OpenTarget(port.Name().c_str());
    ASSERT_TRUE(harness.WaitForOpens(1));
    EXPECT_FALSE(harness.connection.IsOpen());
    std::vector<Status> expected = OpenStatuses(port.Name(), STATUS_OPEN_FAILED);
    expected.insert(expected.end() - 1, {kRefusalTitleId, port.Name() + L" does not support 9600 baud 7E1"});
    EXPECT_EQ(harness.statuses, expected) << Printable(harness.statuses).c_str();
    EXPECT_EQ(harness.optionsTexts, std::vector<std::wstring>{L"Options - 9600 baud 7E1"});
    EXPECT_EQ(harness.reopenTimer, std::vector<bool>{false}) << "a refused line is not retried";
}

TEST_F(ConnectionLineControlTest, RefreshesAndTheirProbesLeaveAnIdlePortAsAnotherProgramSetIt) {
    {
        const C_Handle other(CreateFileW(port.DevicePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        DCB state{};
        state.DCBlength = sizeof state;
        ASSERT_TRUE(GetCommState(other.Get(), &state));
        state.BaudRate = 4800;
        state.fOutxCtsFlow = TRUE;
        state.fRtsControl = RTS_CONTROL_HANDSHAKE;
        ASSERT_TRUE(SetCommState(other.Get(), &state));
    }
    const std::string before = port.LineSettings();
    ASSERT_NE(before.find("speed 4800 baud"), std::string::npos) << before;
    ASSERT_TRUE(harness.Start());
    for (size_t refresh = 1; refresh <= 2; ++refresh) {
        harness.connection.RefreshPorts(PORTS_CHANGED_REDRAW);
        ASSERT_TRUE(harness.WaitForPortsChanged(PORTS_CHANGED_REDRAW, 2 * refresh)) << "the refresh and its probe";
    }
    EXPECT_EQ(port.LineSettings(), before);
    EXPECT_TRUE(comm.Calls().empty());
}

} // namespace
