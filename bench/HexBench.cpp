// The hex view and its journal under load, on a real window: how long a full paint of a 200 x 60 cell hex view
// takes; what recording every block into the journal costs the reader; and whether the hex view keeps up with the
// reader while 15 MB/s arrive (the window's answers meanwhile, and the last row shown at the end).
#include "BenchClock.h"
#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/ReceiveTap.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "terminal/store/LineStore.h"
#include "ui/hex/HexView.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const wchar_t* kFace = L"DejaVu Sans Mono";
constexpr int kColumns = 200;
constexpr int kRows = 60;
constexpr int kPaints = 200;
constexpr uint32_t kBlockSize = 4096; // what a reader hands over per read
constexpr size_t kReceiveInput = 24 * 1000 * 1000;
constexpr int kReceiveRuns = 3;
constexpr double kStreamRate = 15e6; // bytes per second
constexpr double kStreamSeconds = 4;
constexpr DWORD kProbeIntervalMs = 20;
constexpr UINT kProbeTimeoutMs = 5000;

using BenchClock::Median;
using BenchClock::ThreadSeconds;

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// A device's log with now and then a binary frame: text lines, escape sequences and every byte value.
std::string Generate(size_t size) {
    std::string input;
    input.reserve(size + 1024);
    char line[160];
    for (unsigned n = 0; input.size() < size; ++n) {
        snprintf(line, sizeof line, "\x1b[32m%08u\x1b[0m sensor reading value=%u status ok retry=%u\r\n", n,
                 n * 2654435761u % 100000, n % 7);
        input += line;
        if (n % 16 == 0)
            for (int value = 0; value < 256; value += 5)
                input += char(value);
    }
    return input;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

template <class Work> void WhilePumping(Work work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    worker.join();
    Pump();
}

// Reader-sized blocks through a sink; processor seconds.
double Feed(C_ReceiveSink& sink, const std::string& input) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
    const double start = ThreadSeconds();
    sink.ResetFlushTime();
    for (size_t at = 0; at < input.size(); at += kBlockSize)
        sink.ProcessReceivedData(data + at, uint32_t(std::min<size_t>(kBlockSize, input.size() - at)));
    sink.FlushIfIdle();
    return ThreadSeconds() - start;
}

class C_Bench {
public:
    bool Create() {
        m_view.SetFontOptions(kFace, 200, 0);
        m_view.SetTimesShown(true);
        m_frame = CreateWindowExW(0, L"STATIC", L"hex bench", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!m_frame || !m_view.Create(m_frame, {0, 0, 100, 100}, 0, C_HexView::Visibility::Shown))
            return false;
        RECT outer = {0, 0, kColumns * m_view.CharacterWidth() + 2 * C_HexView::kMargin,
                      kRows * m_view.RowHeight() + 2 * C_HexView::kMargin};
        HWND view = m_view.GetWindow();
        AdjustWindowRectEx(&outer, DWORD(GetWindowLongW(view, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongW(view, GWL_EXSTYLE)));
        outer.right += GetSystemMetrics(SM_CXVSCROLL);
        SetWindowPos(m_frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
        SetWindowPos(view, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOZORDER);
        Pump();
        return m_view.VisibleRows() == uint32_t(kRows);
    }

    // Received rows with a sent block now and then, so the direction column and both colours are drawn, and a
    // selection across the screen.
    void MeasurePaint() {
        const std::string input = Generate(1000 * 1000);
        for (size_t at = 0; at < input.size(); at += kBlockSize / 8) {
            const uint32_t count = uint32_t(std::min<size_t>(kBlockSize / 8, input.size() - at));
            m_journal.RecordBytes(at % (4 * kBlockSize) ? ByteDirection::Received : ByteDirection::Sent,
                                  reinterpret_cast<const uint8_t*>(input.data()) + at, count);
        }
        m_view.Refresh();
        const C_ByteJournal::Extent extent = m_journal.GetExtent();
        m_view.SetSelection(int64_t(extent.endByte - 300 * 16), int64_t(extent.endByte - 5 * 16));
        Pump();
        std::vector<double> times;
        const double processorStart = ThreadSeconds();
        for (int i = 0; i < kPaints; ++i) {
            const double start = Seconds();
            RedrawWindow(m_view.GetWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            times.push_back((Seconds() - start) * 1000);
        }
        const double processorMs = (ThreadSeconds() - processorStart) * 1000 / kPaints;
        // Of that, the copy of the finished picture to the screen, which no drawing of the rows can save.
        std::vector<double> copies;
        {
            C_WindowDc screen(m_view.GetWindow());
            RECT client;
            GetClientRect(m_view.GetWindow(), &client);
            for (int i = 0; i < kPaints; ++i) {
                const double start = Seconds();
                BitBlt(screen.Get(), 0, 0, client.right, client.bottom, m_view.BackBuffer(), 0, 0, SRCCOPY);
                GdiFlush();
                copies.push_back((Seconds() - start) * 1000);
            }
        }
        printf("hex view %d x %d cells, %S, times and directions shown, a selection across it, %d paints:\n"
               "  full paint: wall clock median %6.2f ms, 90th percentile %6.2f ms; processor %6.2f ms; of which the "
               "copy to the screen %6.2f ms (aim: 16 ms)\n",
               kColumns, kRows, kFace, kPaints, Median(times), Percentile(times, 0.9), processorMs, Median(copies));
        fflush(stdout);
        m_view.SetSelection(C_HexView::kNoSelection, C_HexView::kNoSelection);
    }

    // The reader's processor time with the tap and its journal, against the assembly alone.
    void MeasureReaderCost() {
        const std::string input = Generate(kReceiveInput);
        const double megabytes = double(input.size()) / 1e6;
        std::vector<double> tapped, bare;
        for (int run = 0; run < kReceiveRuns; ++run) {
            C_LineStore store;
            store.SetWrapWidth(kColumns);
            C_ReceiveAssembly assembly(store);
            C_ByteJournal journal;
            C_ReceiveTap tap(assembly);
            tap.AddRecorder(&journal);
            tapped.push_back(megabytes / Feed(tap, input));
            C_LineStore bareStore;
            bareStore.SetWrapWidth(kColumns);
            C_ReceiveAssembly bareAssembly(bareStore);
            bare.push_back(megabytes / Feed(bareAssembly, input));
        }
        printf("reader's processor time (%.0f MB in %u-byte blocks, median of %d): through the tap into the journal "
               "%.1f MB/s, the receive assembly alone %.1f MB/s, ratio %.2f\n",
               megabytes, kBlockSize, kReceiveRuns, Median(tapped), Median(bare), Median(tapped) / Median(bare));
        fflush(stdout);
    }

    // Paced like a fast device, through the tap into the journal the shown hex view follows.
    void MeasureKeepingUp() {
        const std::string input = Generate(size_t(kStreamRate * kStreamSeconds));
        C_LineStore store;
        store.SetWrapWidth(kColumns);
        C_ReceiveAssembly assembly(store);
        C_ReceiveTap tap(assembly);
        tap.AddRecorder(&m_journal);
        m_view.Clear();
        Pump();
        std::atomic<bool> streaming{true};
        std::vector<double> answers;
        const double streamStart = Seconds();
        double streamEnd = 0;
        std::thread prober([&] {
            while (streaming) {
                const double start = Seconds();
                DWORD_PTR result;
                if (SendMessageTimeoutW(m_view.GetWindow(), WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &result))
                    answers.push_back((Seconds() - start) * 1000);
                else
                    answers.push_back(kProbeTimeoutMs);
                Sleep(kProbeIntervalMs); // the probe's own pace
            }
        });
        uint32_t paintsBefore = m_view.PaintCount();
        WhilePumping([&] {
            const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
            tap.ResetFlushTime();
            for (size_t at = 0; at < input.size();) {
                if (Seconds() < streamStart + double(at) / kStreamRate) {
                    Sleep(1);
                    continue;
                }
                const uint32_t count = uint32_t(std::min<size_t>(kBlockSize, input.size() - at));
                tap.ProcessReceivedData(data + at, count);
                at += count;
            }
            streamEnd = Seconds();
            streaming = false;
        });
        prober.join();
        // The last refresh comes within its interval.
        const double settleStart = Seconds();
        while (m_view.KnownEndRow() != m_journal.GetExtent().endRow && Seconds() - settleStart < 5) {
            Pump();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        printf("hex view shown while %.0f MB/s arrive for %.1f s (achieved %.1f MB/s): %u paints; %zu probes, "
               "median %.2f ms, 99th percentile %.2f ms, longest %.2f ms; %s\n",
               kStreamRate / 1e6, kStreamSeconds, double(input.size()) / 1e6 / (streamEnd - streamStart),
               m_view.PaintCount() - paintsBefore, answers.size(), Median(answers), Percentile(answers, 0.99),
               *std::max_element(answers.begin(), answers.end()),
               m_view.IsAtBottom() && m_view.KnownEndRow() == m_journal.GetExtent().endRow
                   ? "the last row shown at the end"
                   : "THE VIEW FELL BEHIND");
        fflush(stdout);
    }

private:
    HWND m_frame = nullptr;
    C_ByteJournal m_journal;
    C_HexView m_view{m_journal};
};

} // namespace

int main() {
    C_Bench bench;
    if (!bench.Create()) {
        printf("hex bench: the view could not be made %d rows high\n", kRows);
        return 1;
    }
    bench.MeasurePaint();
    bench.MeasureReaderCost();
    bench.MeasureKeepingUp();
    return 0;
}
