// A 100 MB file sent through the real connection manager to a named pipe that the benchmark drains, as Send File
// sends it: what the send costs in memory, the rate, how quickly the window thread answers while the file goes
// (a terminal view and the connection's window live on it, as in the program), and how soon Stop ends a send.
//
// Memory is the process's committed private memory, sampled every 20 ms while the file goes, and its peak
// working set, each above what it was before the send. (Wine answers PrivateUsage with 0 and lets
// PeakPagefileUsage fall again, so the committed bytes are PagefileUsage, which Windows counts the same way.)
// The socket headers come first, through the connection: they must precede the system's general header.
#include "connection/manager/Connection.h"

#include "BenchClock.h"
#include "BenchWindow.h"
#include "stand-in/StandInWindow.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "ui/view/TerminalView.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t kFileSize = 100ull * 1000 * 1000;
constexpr DWORD kPipeBuffer = 0x10000;
constexpr DWORD kChunk = 0x10000;
constexpr DWORD kProbeIntervalMs = 20;
constexpr DWORD kLimitMs = 600000;
constexpr int kStopRuns = 5;
constexpr uint64_t kStopAfterBytes = 5ull * 1000 * 1000;

using BenchClock::Median;
using BenchClock::Percentile;
using BenchClock::Seconds;
using BenchWindow::Pump;

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double MegabytesAbove(SIZE_T value, SIZE_T base) {
    return value > base ? double(value - base) / 1e6 : 0.0;
}

template <class Condition> bool PumpUntil(Condition done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kLimitMs)
            return false;
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    Pump();
    return true;
}

// Log lines, written in pieces: the benchmark itself must not hold the file in memory either.
bool WriteFile(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string chunk;
    uint64_t written = 0;
    for (unsigned line = 0; written < kFileSize; ++line) {
        char text[96];
        const int length = snprintf(text, sizeof text, "%08u sensor=%u value=%u status=ok\r\n", line, line % 7,
                                    (line * 2654435761u) % 100000);
        chunk.append(text, size_t(length));
        if (chunk.size() >= kChunk || written + chunk.size() >= kFileSize) {
            const DWORD size = DWORD(std::min<uint64_t>(chunk.size(), kFileSize - written));
            DWORD done = 0;
            if (!::WriteFile(file, chunk.data(), size, &done, nullptr) || done != size)
                break;
            written += size;
            chunk.clear();
        }
    }
    CloseHandle(file);
    return written == kFileSize;
}

// The device: the server end of a pipe that reads whatever comes until the pipe ends.
class PipeDevice {
public:
    explicit PipeDevice(const std::wstring& name)
        : m_pipe(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, kPipeBuffer,
                                  kPipeBuffer, 0, nullptr)) {
        m_reader = std::thread([this] {
            if (!ConnectNamedPipe(m_pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
                return;
            std::vector<char> buffer(kChunk);
            DWORD read = 0;
            while (ReadFile(m_pipe, buffer.data(), kChunk, &read, nullptr))
                m_received += read;
        });
    }
    ~PipeDevice() {
        DisconnectNamedPipe(m_pipe);
        m_reader.join();
        CloseHandle(m_pipe);
    }
    uint64_t Received() const { return m_received; }

private:
    HANDLE m_pipe;
    std::atomic<uint64_t> m_received{0};
    std::thread m_reader;
};

class Session final : private C_StandInObserver {
public:
    Session() : m_window(*this), m_connection(m_assembly) { m_window.Attach(&m_connection); }
    ~Session() {
        m_connection.CloseTarget();
        m_connection.Stop();
    }

    bool Open(const std::wstring& target) {
        if (!m_window.IsValid() || !m_connection.Start(m_window, m_window))
            return false;
        m_connection.OpenTarget(target.c_str());
        return PumpUntil([this] { return m_openEnded; }) && m_connection.IsOpen();
    }
    C_Connection& Connection() { return m_connection; }
    C_TerminalView& View() { return m_view; }
    bool CreateView() {
        m_frame = BenchWindow::Frame(L"send bench", 800, 600);
        m_view.SetFontOptions(L"DejaVu Sans Mono", 200, 0, L"");
        return m_frame && m_view.Create(m_frame, {0, 0, 800, 600});
    }

private:
    void OnStatus(const wchar_t*, const wchar_t*) override {}
    void OnPortsChanged(WPARAM) override {}
    void OnTitleSuffix(const wchar_t*) override {}
    void OnOptionsText(const wchar_t*) override { m_openEnded = true; }
    void OnReopenTimer(bool) override {}

    HWND m_frame = nullptr;
    C_TerminalView m_view;
    C_ReceiveAssembly m_assembly{m_view.Store()};
    C_StandInWindow m_window;
    C_Connection m_connection;
    bool m_openEnded = false;
};

struct SendFigures {
    double seconds = 0;
    double committedAbove = 0;  // MB
    double workingSetAbove = 0; // MB
    std::vector<double> answersMs;
};

// Sends the file once while another thread asks the view's window for an answer every kProbeIntervalMs and
// looks at the process's private bytes.
SendFigures SendWhole(Session& session, PipeDevice& device, const std::wstring& path) {
    SendFigures figures;
    const PROCESS_MEMORY_COUNTERS before = Memory();
    std::atomic<SIZE_T> peak{before.PagefileUsage};
    std::atomic<bool> sending{true};
    std::thread prober([&] {
        while (sending) {
            figures.answersMs.push_back(BenchWindow::AnswerMs(session.View().GetWindow()));
            peak = std::max<SIZE_T>(peak, Memory().PagefileUsage);
            Sleep(kProbeIntervalMs); // the probe's own pace
        }
    });
    const uint64_t target = device.Received() + kFileSize;
    const double start = Seconds();
    session.Connection().SendFile(path.c_str());
    PumpUntil([&] { return device.Received() >= target; });
    figures.seconds = Seconds() - start;
    sending = false;
    prober.join();
    figures.committedAbove = MegabytesAbove(peak, before.PagefileUsage);
    figures.workingSetAbove = MegabytesAbove(Memory().PeakWorkingSetSize, before.PeakWorkingSetSize);
    return figures;
}

// From the cancel to the send's end, in milliseconds, each run cancelled once kStopAfterBytes have gone.
std::vector<double> StopTimes(Session& session, const std::wstring& path) {
    std::vector<double> times;
    for (int run = 0; run < kStopRuns; ++run) {
        const uint32_t number = session.Connection().SendFile(path.c_str());
        PumpUntil([&] {
            const FileSendProgress progress = session.Connection().GetFileSendProgress();
            return progress.number == number && progress.sent >= kStopAfterBytes;
        });
        const double start = Seconds();
        session.Connection().CancelFileSend();
        PumpUntil([&] { return session.Connection().GetFileSendProgress().state != FileSendState::Running; });
        times.push_back((Seconds() - start) * 1000);
    }
    return times;
}

} // namespace

int main() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"velto-send-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring pipe = L"\\\\.\\pipe\\velto-send-bench-" + std::to_wstring(GetCurrentProcessId());
    if (!WriteFile(path)) {
        printf("send bench: the %llu-byte file could not be written\n", (unsigned long long)kFileSize);
        return 1;
    }
    int status = 1;
    {
        PipeDevice device(pipe);
        Session session;
        if (session.CreateView() && session.Open(pipe)) {
            const SendFigures figures = SendWhole(session, device, path);
            printf("send file of %.0f MB to a pipe: %.1f s, %.1f MB/s; above the start, committed memory at most "
                   "%.2f MB, peak working set %.2f MB\n",
                   double(kFileSize) / 1e6, figures.seconds, double(kFileSize) / 1e6 / figures.seconds,
                   figures.committedAbove, figures.workingSetAbove);
            printf("  the window thread answered %zu probes meanwhile: median %.2f ms, 99th percentile %.2f ms, "
                   "longest %.2f ms\n",
                   figures.answersMs.size(), Median(figures.answersMs), Percentile(figures.answersMs, 0.99),
                   *std::max_element(figures.answersMs.begin(), figures.answersMs.end()));
            const std::vector<double> stops = StopTimes(session, path);
            printf("  Stop during a send, %d runs: the send ended a median %.2f ms after it, at most %.2f ms\n",
                   kStopRuns, Median(stops), *std::max_element(stops.begin(), stops.end()));
            status = 0;
        } else {
            printf("send bench: the pipe could not be opened\n");
        }
    }
    DeleteFileW(path.c_str());
    return status;
}
