#include "TransportTestHost.h"

namespace {

constexpr const wchar_t* kWindowClass = L"VeltoTransportTestWindow";
// How often PumpUntil looks again at a condition that another thread may have changed.
constexpr DWORD kPumpSliceMs = 5;

void RegisterTestClass() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass); // fails harmlessly when already registered
}

void DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

bool ReadUntil(C_Transport& transport, const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchPending();
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        transport.ReadStep();
    }
}

TestWindow::TestWindow() {
    RegisterTestClass();
    m_window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (m_window)
        DestroyWindow(m_window);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchPending();
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSliceMs, QS_ALLINPUT);
    }
}

RecordingHost::RecordingHost() : m_dataEvent(CreateAutoResetEvent()) {}

void RecordingHost::ProcessReceivedData(const uint8_t* data, uint32_t length) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_blocks.emplace_back(reinterpret_cast<const char*>(data), length);
}

void RecordingHost::ShowStatus(StatusText text, const wchar_t* name) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_statuses.emplace_back(text, name ? name : L"");
}

std::string RecordingHost::Received() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    std::string all;
    for (const std::string& block : m_blocks)
        all += block;
    return all;
}

std::vector<std::string> RecordingHost::Blocks() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_blocks;
}

size_t RecordingHost::BlockCount() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_blocks.size();
}

std::vector<std::pair<StatusText, std::wstring>> RecordingHost::Statuses() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_statuses;
}

bool ReadUntilReceived(C_Transport& transport, RecordingHost& host, size_t byteCount, DWORD timeoutMs) {
    return ReadUntil(
        transport, [&] { return host.Received().size() >= byteCount; }, timeoutMs);
}

bool ReadUntilBlocks(C_Transport& transport, RecordingHost& host, size_t blockCount, DWORD timeoutMs) {
    return ReadUntil(
        transport, [&] { return host.BlockCount() >= blockCount; }, timeoutMs);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values)
        bytes += char(value);
    return bytes;
}
