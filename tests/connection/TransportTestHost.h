#pragma once
// What the socket and pipe transport tests run against: a connection stand-in that records everything the
// transport hands it, a hidden window on the test thread for the socket notifications, and a message pump that
// waits for a condition with a generous limit.
#include "connection/transports/Transport.h"
#include "connection/threads/Event.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

constexpr DWORD kTestTimeoutMs = 20000;

// A hidden top-level window owned by the creating thread; destroyed with the object.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Get() const { return m_window; }

private:
    HWND m_window = nullptr;
};

// Dispatches the calling thread's messages until done() holds or timeoutMs has passed; true when done. Other
// threads may change what done() looks at, so it is tested again at least every few milliseconds.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kTestTimeoutMs);

class RecordingHost : public C_TransportHost, public C_ReceiveSink {
public:
    RecordingHost();

    // C_ReceiveSink
    void ProcessReceivedData(const uint8_t* data, uint32_t length) override;
    void FlushIfIdle() override { ++m_flushes; }
    void ResetFlushTime() override {}

    // C_TransportHost
    C_ReceiveSink& GetReceiveSink() override { return *this; }
    // A pending line keeps every read step's wait short, so a test can call steps on its own thread (answers
    // the sink too).
    bool HasPendingLine() override { return m_pendingLine; }
    HANDLE GetDataEvent() override { return m_dataEvent.Get(); }
    bool IsStopRequested() override { return m_stopRequested; }
    void ShowStatus(StatusText text, const wchar_t* name) override;
    HWND GetMainWindow() override { return m_window.Get(); }
    void PostCloseTarget() override { ++m_closeTargetPosts; }

    std::string Received() const;
    std::vector<std::string> Blocks() const;
    size_t BlockCount() const;
    std::vector<std::pair<StatusText, std::wstring>> Statuses() const;
    int CloseTargetPosts() const { return m_closeTargetPosts; }
    int Flushes() const { return m_flushes; }

    void SetPendingLine(bool pending) { m_pendingLine = pending; }
    void RequestStop() { m_stopRequested = true; }

private:
    TestWindow m_window;
    C_Handle m_dataEvent;
    std::atomic<bool> m_pendingLine{true};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<int> m_closeTargetPosts{0};
    std::atomic<int> m_flushes{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_blocks;
    std::vector<std::pair<StatusText, std::wstring>> m_statuses;
};

// Calls transport.ReadStep on the test thread, dispatching messages in between, until the host has received
// at least byteCount bytes (true) or the limit passes. The host must report a pending line, so every step
// waits only briefly.
bool ReadUntilReceived(C_Transport& transport, RecordingHost& host, size_t byteCount, DWORD timeoutMs = kTestTimeoutMs);
// The same, until the host has seen blockCount blocks (zero-length ones included).
bool ReadUntilBlocks(C_Transport& transport, RecordingHost& host, size_t blockCount, DWORD timeoutMs = kTestTimeoutMs);
// The same, until done() holds.
bool ReadUntil(C_Transport& transport, const std::function<bool()>& done, DWORD timeoutMs = kTestTimeoutMs);

std::string Bytes(std::initializer_list<int> values);
