// The terminal view under load, on a real window: how long a full paint of a 200 x 60 view of coloured, wrapped
// text takes; how fast text is received into a visible view that follows the output, against the same input into a
// store without a window; and how quickly the window answers messages while 15 MB/s arrive.
#include "BenchClock.h"
#include "BenchWindow.h"
#include "terminal/store/LineStore.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "ui/view/TerminalView.h"

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
constexpr size_t kReceiveInput = 24 * 1000 * 1000;
constexpr int kReceiveRuns = 3;
constexpr uint32_t kBlockSize = 4096; // what a reader hands over per read
constexpr double kStreamRate = 15e6;  // bytes per second
constexpr double kStreamSeconds = 4;
constexpr DWORD kProbeIntervalMs = 20;

using BenchClock::Median;
using BenchClock::Percentile;
using BenchClock::Seconds;
using BenchClock::ThreadSeconds;
using BenchWindow::Pump;
using BenchWindow::WhilePumping;

const char* const kWords[] = {"sensor", "reading", "value",  "timeout", "ok",   "retry", "buffer", "flush",
                              "packet", "frame",   "status", "ready",   "idle", "link",  "up",     "down"};

// A coloured log as devices write it, lines of about 300 characters (so they wrap at 200): a grey time, a
// coloured level, a message with two highlighted values, now and then a link.
std::string LogLine(unsigned n) {
    static const char* const levels[] = {"\x1b[32mINFO ", "\x1b[32mINFO ", "\x1b[33mWARN ", "\x1b[31mERROR"};
    char head[96];
    snprintf(head, sizeof head,
             "\x1b[38;2;128;128;128m2024-01-12 10:%02u:%02u.%03u\x1b[0m %s\x1b[0m task-%02u: ", n / 60000 % 60,
             n / 1000 % 60, n % 1000, levels[n % 4], n % 17);
    std::string line = head;
    size_t visible = 40;
    for (unsigned k = n, word = 0; visible < 300; k = k * 1103515245u + 12345u, ++word) {
        std::string text = word == 7 && n % 5 == 0 ? "http://10.0.0.2/status" : kWords[(k >> 16) % 16];
        if (word == 4 || word == 11)
            line += "id=\x1b[36m" + std::to_string(k % 100000) + "\x1b[0m ";
        else
            line += text + " ";
        visible += text.size() + 1;
    }
    return line + "\r\n";
}

// The worst case: a colour change at every word, every third one to a 24-bit colour.
std::string ColourfulLine(unsigned n) {
    std::string line = "\x1b[0m";
    size_t visible = 0;
    for (unsigned k = n; visible < 300; k = k * 1103515245u + 12345u) {
        char sgr[40];
        if (k % 3 == 0)
            snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", k % 256, (k >> 8) % 256, (k >> 16) % 256);
        else
            snprintf(sgr, sizeof sgr, "\x1b[%s3%um", k % 2 ? "1;" : "", (k >> 4) % 8);
        std::string word = kWords[(k >> 16) % 16];
        line += sgr + word + " ";
        visible += word.size() + 1;
    }
    return line + "\x1b[0m\r\n";
}

using LineMaker = std::string (*)(unsigned);

std::string Generate(LineMaker line, size_t size) {
    std::string input;
    input.reserve(size + 1024);
    for (unsigned n = 0; input.size() < size; ++n)
        input += line(n);
    return input;
}

// Reader-sized blocks through the receive assembly, then what is pending, as the idle flush would.
void Receive(C_ReceiveAssembly& assembly, const std::string& input) {
    assembly.ResetFlushTime();
    const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
    for (size_t at = 0; at < input.size(); at += kBlockSize)
        assembly.ProcessReceivedData(data + at, uint32_t(std::min<size_t>(kBlockSize, input.size() - at)));
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
}

class C_Bench {
public:
    bool Create() {
        m_view.SetFontOptions(kFace, 200, 0, L"");
        m_frame = BenchWindow::Frame(L"view bench", 100, 100);
        if (!m_frame || !m_view.Create(m_frame, {0, 0, 100, 100}))
            return false;
        BenchWindow::FitToClient(m_frame, m_view.GetWindow(),
                                 kColumns * m_view.CharacterWidth() + 2 * C_TerminalView::kMargin,
                                 kRows * m_view.RowHeight() + 2 * C_TerminalView::kMargin);
        Pump();
        return m_view.Store().GetWrapWidth() == kColumns;
    }

    void MeasurePaint(const char* name, LineMaker line) {
        m_view.Clear();
        Receive(m_assembly, Generate(line, 1000 * 1000));
        Pump();
        const BenchWindow::PaintFigures paint =
            BenchWindow::MeasurePaints(m_view.GetWindow(), m_view.BackBuffer(), kPaints);
        printf("full paint, %-38s wall clock median %6.2f ms, 90th percentile %6.2f ms; processor %6.2f ms; "
               "of which the copy to the screen %6.2f ms\n",
               name, paint.medianMs, paint.ninetiethMs, paint.processorMs, paint.copyMs);
        fflush(stdout);
    }

    void MeasureReceiveRate() {
        std::string input = Generate(LogLine, kReceiveInput);
        double megabytes = double(input.size()) / 1e6;
        std::vector<double> withView, headless, readerWithView, readerHeadless;
        for (int run = 0; run < kReceiveRuns; ++run) {
            m_view.Clear();
            Pump();
            double start = Seconds();
            double processor = 0;
            WhilePumping([&] {
                double processorStart = ThreadSeconds();
                Receive(m_assembly, input);
                processor = ThreadSeconds() - processorStart;
            });
            withView.push_back(megabytes / (Seconds() - start));
            readerWithView.push_back(megabytes / processor);
            SendMessageW(m_view.GetWindow(), WM_NULL, 0, 0);
            if (!m_view.IsAtBottom())
                printf("  the view did not follow the output\n");

            m_view.Clear();
            C_LineStore store;
            store.SetWrapWidth(kColumns);
            C_ReceiveAssembly assembly(store);
            start = Seconds();
            double processorStart = ThreadSeconds();
            Receive(assembly, input);
            headless.push_back(megabytes / (Seconds() - start));
            readerHeadless.push_back(megabytes / (ThreadSeconds() - processorStart));
        }
        printf("receive rate of the coloured log (%.0f MB, median of %d):\n"
               "  wall clock: visible view following the output %.1f MB/s, no window %.1f MB/s, ratio %.2f\n"
               "  reader's processor time: with the view %.1f MB/s, no window %.1f MB/s, ratio %.2f\n",
               megabytes, kReceiveRuns, Median(withView), Median(headless), Median(withView) / Median(headless),
               Median(readerWithView), Median(readerHeadless), Median(readerWithView) / Median(readerHeadless));
        fflush(stdout);
    }

    void MeasureResponsiveness() {
        std::string input = Generate(LogLine, size_t(kStreamRate * kStreamSeconds));
        m_view.Clear();
        Pump();
        std::atomic<bool> streaming{true};
        std::vector<double> answers;
        double streamStart = Seconds();
        double streamEnd = 0;
        std::thread prober([&] {
            while (streaming) {
                answers.push_back(BenchWindow::AnswerMs(m_view.GetWindow()));
                Sleep(kProbeIntervalMs); // the probe's own pace
            }
        });
        WhilePumping([&] {
            // Paced like a fast device: each block goes out when its time has come.
            m_assembly.ResetFlushTime();
            const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
            for (size_t at = 0; at < input.size();) {
                double due = streamStart + double(at) / kStreamRate;
                if (Seconds() < due) {
                    Sleep(1);
                    continue;
                }
                uint32_t count = uint32_t(std::min<size_t>(kBlockSize, input.size() - at));
                m_assembly.ProcessReceivedData(data + at, count);
                at += count;
            }
            m_assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
            streamEnd = Seconds();
            streaming = false;
        });
        prober.join();
        printf("answering while %.0f MB/s arrive for %.1f s (achieved %.1f MB/s): %zu probes, median %.2f ms, "
               "99th percentile %.2f ms, longest %.2f ms\n",
               kStreamRate / 1e6, kStreamSeconds, double(input.size()) / 1e6 / (streamEnd - streamStart),
               answers.size(), Median(answers), Percentile(answers, 0.99),
               *std::max_element(answers.begin(), answers.end()));
        fflush(stdout);
    }

private:
    HWND m_frame = nullptr;
    C_TerminalView m_view;
    C_ReceiveAssembly m_assembly{m_view.Store()};
};

} // namespace

int main() {
    C_Bench bench;
    if (!bench.Create()) {
        printf("view bench: the view could not be made %d columns wide\n", kColumns);
        return 1;
    }
    printf("terminal view %d x %d cells, %S, %d paints each:\n", kColumns, kRows, kFace, kPaints);
    bench.MeasurePaint("coloured log, lines wrapped:", LogLine);
    bench.MeasurePaint("worst case, a colour at every word:", ColourfulLine);
    bench.MeasureReceiveRate();
    bench.MeasureResponsiveness();
    return 0;
}
