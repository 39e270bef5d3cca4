// The hex view and its journal under load, on a real window: how long a full paint of a 200 x 60 cell hex view
// takes; what recording every block into the journal costs the reader; and whether the hex view keeps up with the
// reader while 15 MB/s arrive (the window's answers meanwhile, and the last row shown at the end).
#include "BenchClock.h"
#include "BenchWindow.h"
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

using BenchClock::Median;
using BenchClock::Percentile;
using BenchClock::Seconds;
using BenchClock::ThreadSeconds;
using BenchWindow::Pump;
using BenchWindow::WhilePumping;

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
        m_frame = BenchWindow::Frame(L"hex bench", 100, 100);
        if (!m_frame || !m_view.Create(m_frame, {0, 0, 100, 100}, 0, C_HexView::Visibility::Shown))
            return false;
        BenchWindow::FitToClient(m_frame, m_view.GetWindow(),
                                 kColumns * m_view.CharacterWidth() + 2 * C_HexView::kMargin,
                                 kRows * m_view.RowHeight() + 2 * C_HexView::kMargin);
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
        const BenchWindow::PaintFigures paint =
            BenchWindow::MeasurePaints(m_view.GetWindow(), m_view.BackBuffer(), kPaints);
        printf("hex view %d x %d cells, %S, times and directions shown, a selection across it, %d paints:\n"
               "  full paint: wall clock median %6.2f ms, 90th percentile %6.2f ms; processor %6.2f ms; of which the "
               "copy to the screen %6.2f ms (aim: 16 ms)\n",
               kColumns, kRows, kFace, kPaints, paint.medianMs, paint.ninetiethMs, paint.processorMs, paint.copyMs);
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
                answers.push_back(BenchWindow::AnswerMs(m_view.GetWindow()));
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
