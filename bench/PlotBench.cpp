// The plot under load: how long one picture of 16 series with 100,000 points each in view takes (the reduction
// under the data's lock, then the drawing), how many lines a second the feed parses, and how quickly the main
// window's view and the plot window answer while a device sends 10,000 lines a second.
#include "BenchClock.h"
#include "BenchWindow.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "ui/plot/PlotFrame.h"
#include "ui/plot/PlotPainter.h"
#include "ui/plot/PlotWindow.h"
#include "ui/view/TerminalView.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kSeries = 16;
constexpr uint32_t kPointsInView = 100000;
constexpr int64_t kSpan = 10 * 1000000; // the shortest span: every point in view
constexpr SIZE kPicture = {1600, 800};
constexpr int kFrames = 60;
constexpr uint32_t kParsedLines = 1000000;
constexpr double kLineRate = 10000; // lines a second
constexpr double kStreamSeconds = 5;
constexpr DWORD kProbeIntervalMs = 20;

using BenchClock::Median;
using BenchClock::Percentile;
using BenchClock::Seconds;
using BenchClock::ThreadSeconds;
using BenchWindow::Pump;
using BenchWindow::WhilePumping;

// Noise with a spike now and then, a different wave per series.
void FillSeries(C_PlotData& data, int64_t end) {
    static const wchar_t* const names[kSeries] = {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h",
                                                  L"i", L"j", L"k", L"l", L"m", L"n", L"o", L"p"};
    PlotParser::Sample samples[kSeries];
    uint32_t seed = 1;
    for (uint32_t i = 0; i < kPointsInView; ++i) {
        for (uint32_t s = 0; s < kSeries; ++s) {
            seed = seed * 1103515245u + 12345u;
            double wave = std::sin(double(i) / (500.0 + 40 * s)) * (10 + s);
            double value = wave + double(seed >> 24) / 64 + (seed % 5000 == 0 ? 50 : 0) + 30.0 * s;
            samples[s] = {names[s], 1, 0, value};
        }
        data.AddLine(end - kSpan + int64_t(i) * (kSpan / kPointsInView), samples, kSeries);
    }
}

void MeasureFrame() {
    C_PlotData data;
    const int64_t end = 13000000000000000;
    FillSeries(data, end);
    C_WindowDc screen(nullptr);
    C_MemoryDc dc(CreateCompatibleDC(screen.Get()));
    C_Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), kPicture.cx, kPicture.cy));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kPicture.cx, -kPicture.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pixels = nullptr;
    bitmap.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    HGDIOBJ previous = SelectObject(dc.Get(), bitmap.Get());
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    C_PlotFrame frame;
    C_PlotPainter painter;
    RECT plot = C_PlotPainter::PlotRect(dc.Get(), font, kPicture);
    std::vector<double> takes, paints, totals;
    double processorStart = ThreadSeconds();
    for (int i = 0; i < kFrames; ++i) {
        double start = Seconds();
        frame.Take(data, end - kSpan, end, uint32_t(plot.right - plot.left), 0, C_PlotFrame::kNoHover);
        double taken = Seconds();
        painter.Paint(dc.Get(), kPicture, frame, {font, L"", false, {0, 0}, PlotPaintOptions::PAINT_PLAIN});
        GdiFlush();
        double painted = Seconds();
        takes.push_back((taken - start) * 1000);
        paints.push_back((painted - taken) * 1000);
        totals.push_back((painted - start) * 1000);
    }
    // The thread times tick coarsely, so the processor time is the mean over all frames.
    double processorMs = (ThreadSeconds() - processorStart) * 1000 / kFrames;
    // What every picture costs whatever it shows: the background, the grids and their labels.
    std::vector<double> bare;
    for (int i = 0; i < kFrames; ++i) {
        frame.Take(data, end - kSpan, end, uint32_t(plot.right - plot.left), 0xFFFF, C_PlotFrame::kNoHover);
        double start = Seconds();
        painter.Paint(dc.Get(), kPicture, frame, {font, L"", false, {0, 0}, PlotPaintOptions::PAINT_PLAIN});
        GdiFlush();
        bare.push_back((Seconds() - start) * 1000);
    }
    SelectObject(dc.Get(), previous);
    printf("plot picture, %u series x %u points in view, %ld x %ld pixels (%d frames): wall clock median %.2f ms "
           "(reduction under the lock %.2f ms, drawing %.2f ms), 90th percentile %.2f ms, longest %.2f ms; "
           "processor %.2f ms; of the drawing, background, grids and labels %.2f ms; budget 16 ms\n",
           kSeries, kPointsInView, kPicture.cx, kPicture.cy, kFrames, Median(totals), Median(takes), Median(paints),
           Percentile(totals, 0.9), *std::max_element(totals.begin(), totals.end()), processorMs, Median(bare));
    fflush(stdout);
}

std::string SensorLine(uint32_t n) {
    char line[96];
    snprintf(line, sizeof line, "temp=%.2f fan=%u rpm=%u,%d;%.3e\r\n", 40 + (n % 1000) / 100.0, 1200 + n % 97, n % 5000,
             int(n % 13) - 6, n * 1e-3);
    return line;
}

void MeasureParsing() {
    C_PlotData data;
    C_PlotFeed feed(data);
    feed.SetCollecting(true);
    std::wstring block;
    double processor = 0;
    for (uint32_t n = 0; n < kParsedLines; ++n) {
        std::string line = SensorLine(n);
        block.append(line.begin(), line.end() - 2);
        block += L'\n';
        if (block.size() > 4096 || n + 1 == kParsedLines) {
            double start = ThreadSeconds();
            feed.TakeShownText(block.data(), uint32_t(block.size()));
            processor += ThreadSeconds() - start;
            block.clear();
        }
    }
    printf("plot feed: %u lines of 5 numbers parsed and stored, %.0f lines/s (reader's processor time)\n", kParsedLines,
           double(kParsedLines) / processor);
    fflush(stdout);
}

class C_BenchHost final : public C_PlotHost {
public:
    void SetPlotButtonState(bool) override {}
    bool AskPlotSavePath(HWND, PlotFileKind, C_String&) override { return false; }
};

struct Probe {
    std::vector<double> answers;
    void Ask(HWND window) { answers.push_back(BenchWindow::AnswerMs(window)); }
    void Print(const char* name) const {
        printf("  %-14s %zu probes, median %.2f ms, 99th percentile %.2f ms, longest %.2f ms\n", name, answers.size(),
               Median(answers), Percentile(answers, 0.99), *std::max_element(answers.begin(), answers.end()));
    }
};

// A device's pace: each line goes out when its time has come, in the blocks a serial reader hands over.
void Stream(C_ReceiveAssembly& assembly, double start) {
    assembly.ResetFlushTime();
    std::string pending;
    uint32_t sent = 0;
    const uint32_t total = uint32_t(kLineRate * kStreamSeconds);
    while (sent < total) {
        uint32_t due = std::min(total, uint32_t((Seconds() - start) * kLineRate));
        for (; sent < due; ++sent)
            pending += SensorLine(sent);
        if (pending.empty()) {
            Sleep(1);
            assembly.FlushIfIdle();
            continue;
        }
        assembly.ProcessReceivedData(reinterpret_cast<const uint8_t*>(pending.data()), uint32_t(pending.size()));
        pending.clear();
    }
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
}

void MeasureResponsiveness() {
    HWND owner = BenchWindow::Frame(L"plot bench", 1000, 700);
    C_TerminalView view;
    view.SetFontOptions(L"DejaVu Sans Mono", 200, 0, L"");
    C_PlotData data;
    C_PlotFeed feed(data);
    C_ReceiveAssembly assembly(view.Store());
    assembly.SetShownTextSink(&feed);
    C_BenchHost host;
    C_PlotWindow plot(data, feed, host);
    if (!owner || !view.Create(owner, {0, 0, 1000, 700}))
        return;
    plot.SetPlacementKey(HKEY_CURRENT_USER, L"Software\\Brannick\\VeltoBench");
    plot.SetSpanSeconds(10);
    plot.Toggle(GetModuleHandleW(nullptr), owner);
    Pump();
    std::atomic<bool> streaming{true};
    Probe viewProbe, plotProbe;
    std::thread prober([&] {
        while (streaming) {
            viewProbe.Ask(view.GetWindow());
            plotProbe.Ask(plot.GetWindow());
            Sleep(kProbeIntervalMs); // the probe's own pace
        }
    });
    double start = Seconds();
    double seconds = 0;
    WhilePumping([&] {
        Stream(assembly, start);
        seconds = Seconds() - start;
    });
    // The windows answer the prober's last questions too: this thread goes on pumping until it has stopped.
    streaming = false;
    WhilePumping([&] { prober.join(); });
    printf("answering while a device sends %.0f lines/s for %.1f s (achieved %.0f lines/s), plot open:\n", kLineRate,
           kStreamSeconds, kLineRate * kStreamSeconds / seconds);
    viewProbe.Print("terminal view:");
    plotProbe.Print("plot window:");
    fflush(stdout);
    plot.Toggle(GetModuleHandleW(nullptr), owner);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Brannick\\VeltoBench");
    DestroyWindow(owner);
}

} // namespace

int main() {
    MeasureFrame();
    MeasureParsing();
    MeasureResponsiveness();
    return 0;
}
