// Sends as the device end of a virtual serial port sees them: bytes exactly as given, files with their line
// delay, and the ways a file send ends (done, cancelled, the port closed, no file).
#include "connection/ConnectionHarness.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/VirtualPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The connection tests own COM41 to COM48 of their build's prefix; this is this file's.
constexpr unsigned kSendPort = 46;
constexpr DWORD kDeviceReadWaitMs = 20;

// Reads the device end on a thread of its own, noting when each piece came.
class DeviceRecorder {
public:
    explicit DeviceRecorder(HANDLE device) : m_device(device) {
        m_reader = std::thread([this] {
            char chunk[256];
            while (!m_stop) {
                DWORD read = 0;
                if (!ReadFile(m_device, chunk, sizeof chunk, &read, nullptr))
                    return;
                const double now = NowMs();
                std::lock_guard<std::mutex> hold(m_mutex);
                for (DWORD i = 0; i < read; ++i)
                    m_arrivals.push_back({chunk[i], now});
            }
        });
    }
    ~DeviceRecorder() {
        m_stop = true;
        m_reader.join();
    }
    std::string Bytes() {
        std::lock_guard<std::mutex> hold(m_mutex);
        std::string bytes;
        for (const auto& arrival : m_arrivals)
            bytes += arrival.first;
        return bytes;
    }
    std::vector<std::pair<char, double>> Arrivals() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_arrivals;
    }

private:
    HANDLE m_device;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::pair<char, double>> m_arrivals;
    std::thread m_reader;
};

class SendingTest : public ::testing::Test {
protected:
    // The port open, its device end recorded.
    void OpenPort() {
        port = std::make_unique<VirtualPort>(kSendPort);
        ASSERT_TRUE(port->IsReady()) << port->Problem();
        ASSERT_TRUE(harness.Start());
        connection.OpenTarget(port->Name().c_str());
        ASSERT_TRUE(harness.WaitForOpens(1));
        ASSERT_TRUE(connection.IsOpen());
        device.Reset(port->OpenDeviceEnd(kDeviceReadWaitMs));
        ASSERT_TRUE(device);
        recorder = std::make_unique<DeviceRecorder>(device.Get());
    }
    bool WaitForDevice(const std::string& bytes) {
        return harness.PumpUntil([&] { return recorder->Bytes().size() >= bytes.size(); });
    }
    bool WaitForFileSendEnd() {
        return harness.PumpUntil([&] {
            const FileSendState state = connection.GetFileSendProgress().state;
            return state != FileSendState::Running && state != FileSendState::Idle;
        });
    }
    std::wstring MakeFile(const std::wstring& name, const std::string& bytes) {
        const std::wstring path = folder.Path(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    ConnectionHarness harness;
    C_Connection& connection = harness.connection;
    TempFolder folder;
    std::unique_ptr<VirtualPort> port;
    C_Handle device;
    std::unique_ptr<DeviceRecorder> recorder; // declared last: it stops reading before the device end closes
};

} // namespace

TEST_F(SendingTest, TheDeviceReceivesExactlyTheBytesTextAndFilesInOrder) {
    harness.assembly.SetLocalEcho(true);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    const std::string zeroAndHigh("\x00\x01\xFF\x80\x0D", 5);
    const std::string file = std::string("line one\r\n\x00\xFE binary\n", 20) + "last line without end";
    connection.SendBytes(reinterpret_cast<const uint8_t*>(zeroAndHigh.data()), uint32_t(zeroAndHigh.size()));
    connection.SendText(L"AT\x00E9\r");
    connection.SendFile(MakeFile(L"exact.bin", file).c_str());
    const std::string expected = zeroAndHigh + "AT\xE9\r" + file;
    ASSERT_TRUE(WaitForDevice(expected));
    EXPECT_EQ(recorder->Bytes(), expected);
    ASSERT_TRUE(WaitForFileSendEnd());
    const FileSendProgress progress = connection.GetFileSendProgress();
    EXPECT_EQ(int(progress.state), int(FileSendState::Finished));
    EXPECT_EQ(progress.sent, file.size());
    EXPECT_EQ(progress.total, file.size());
    // The echo shows what went out as text: its printable characters and its line ends.
    EXPECT_TRUE(harness.WaitForStoreText("\xFF\x80\r\nAT\xE9\r\nline one\r\n\xFE binary\r\nlast line without end"))
        << harness.StoreText();
}

TEST_F(SendingTest, AFileSendPausesAfterEachLineEndAtTheDevice) {
    constexpr uint32_t kLineDelayMs = 150;
    harness.window.SetLineDelay(kLineDelayMs);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    const std::string file = "one\r\ntwo\nthree\rfour";
    connection.SendFile(MakeFile(L"lines.txt", file).c_str());
    ASSERT_TRUE(WaitForDevice(file));
    ASSERT_TRUE(WaitForFileSendEnd());
    EXPECT_EQ(recorder->Bytes(), file);

    // The first byte of each line comes at least the delay after the last byte of the line before it. Lower
    // bounds only: a loaded machine may stretch a pause but never shortens it.
    const auto arrivals = recorder->Arrivals();
    const size_t lineStarts[] = {5, 9, 15};
    for (size_t start : lineStarts)
        EXPECT_GE(arrivals[start].second - arrivals[start - 1].second, kLineDelayMs - 20.0) << "before byte " << start;
    EXPECT_LT(arrivals[1].second - arrivals[0].second, double(kLineDelayMs)) << "no pause within a line";
}

TEST_F(SendingTest, ACancelStopsTheFileWithinHalfASecondAndTheNextFileStillGoes) {
    constexpr uint32_t kLineDelayMs = 100;
    constexpr int kLines = 200; // twenty seconds if nothing stopped it
    harness.window.SetLineDelay(kLineDelayMs);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    std::string file;
    for (int i = 0; i < kLines; ++i)
        file += "line " + std::to_string(i) + "\n";
    connection.SendFile(MakeFile(L"long.txt", file).c_str());
    ASSERT_TRUE(harness.PumpUntil([&] { return recorder->Bytes().size() >= 30; }));

    const double cancelled = NowMs();
    connection.CancelFileSend();
    ASSERT_TRUE(WaitForFileSendEnd());
    const FileSendProgress progress = connection.GetFileSendProgress();
    EXPECT_EQ(int(progress.state), int(FileSendState::Cancelled));
    EXPECT_LT(progress.sent, progress.total);

    // A later file is not caught by the cancel before it; its bytes mark where the cancelled one ended.
    connection.SendFile(MakeFile(L"after.txt", "after\n").c_str());
    ASSERT_TRUE(harness.PumpUntil([&] { return recorder->Bytes().find("after\n") != std::string::npos; }));
    const std::string bytes = recorder->Bytes();
    const size_t cancelledPart = bytes.size() - 6;
    EXPECT_EQ(bytes.substr(0, cancelledPart), file.substr(0, cancelledPart)) << "what went out came whole";
    EXPECT_EQ(cancelledPart, progress.sent) << "the progress counts what the port took";
    const auto arrivals = recorder->Arrivals();
    EXPECT_LE(arrivals[cancelledPart - 1].second - cancelled, 500.0) << "a byte of the cancelled file came late";
}

TEST_F(SendingTest, ClosingThePortStopsAFileSendAndAMissingFileOrPortIsReported) {
    harness.window.SetLineDelay(100);
    ASSERT_NO_FATAL_FAILURE(OpenPort());
    connection.SendFile(folder.Path(L"missing.txt").c_str());
    ASSERT_TRUE(WaitForFileSendEnd());
    EXPECT_EQ(int(connection.GetFileSendProgress().state), int(FileSendState::OpenFailed));

    std::string file;
    for (int i = 0; i < 100; ++i)
        file += "row\r\n";
    connection.SendFile(MakeFile(L"rows.txt", file).c_str());
    ASSERT_TRUE(harness.PumpUntil([&] { return recorder->Bytes().size() >= 10; }));
    connection.CloseTarget();
    ASSERT_TRUE(WaitForFileSendEnd());
    EXPECT_EQ(int(connection.GetFileSendProgress().state), int(FileSendState::PortClosed));

    // Nothing open: the send ends at once with the same answer, and nothing reaches the device.
    const size_t before = recorder->Bytes().size();
    connection.SendFile(MakeFile(L"closed.txt", "never\n").c_str());
    ASSERT_TRUE(harness.PumpUntil([&] { return connection.CommandsDone(); }));
    EXPECT_EQ(int(connection.GetFileSendProgress().state), int(FileSendState::PortClosed));
    EXPECT_EQ(connection.GetFileSendProgress().sent, 0u);
    EXPECT_EQ(recorder->Bytes().size(), before);
}
