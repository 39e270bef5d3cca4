#pragma once
// C_PlotFeed: from the text the store shows to the plot's series. It collects the text into lines, parses each
// complete line (PlotParser) and adds its samples at the line's arrival time. The receive assembly calls it on
// the reader thread; it collects only while the plot wants data, and a line it saw only the end of is skipped.
#include "foundation/base/DynamicBuffer.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotParser.h"
#include "terminal/receive/ShownTextSink.h"

#include <atomic>
#include <cstdint>

// Microseconds since 1601 (UTC), as FILETIME counts, but steady: the system's clock is read once and the
// performance counter carries it on, so a clock set back or forward never reorders the plot.
class C_PlotClock {
public:
    virtual int64_t Microseconds() = 0;

protected:
    ~C_PlotClock() = default;
};

C_PlotClock& SystemPlotClock();

class C_PlotFeed final : public C_ShownTextSink {
public:
    // A line longer than this is parsed from its beginning; the rest of it is skipped.
    static constexpr uint32_t kMaxLineLength = 1024 * 1024;

    explicit C_PlotFeed(C_PlotData& data, C_PlotClock& clock = SystemPlotClock()) : m_data(data), m_clock(clock) {}
    C_PlotFeed(const C_PlotFeed&) = delete;
    C_PlotFeed& operator=(const C_PlotFeed&) = delete;

    // Off by default. Called on any thread; the reader sees it at its next text.
    void SetCollecting(bool collecting) { m_collecting.store(collecting, std::memory_order_release); }
    bool IsCollecting() const { return m_collecting.load(std::memory_order_acquire); }

    // C_ShownTextSink
    void TakeShownText(const wchar_t* text, uint32_t length) override;
    // The end of the input when no line end follows (velto-cli's replay): the last line counts as complete.
    void FinishLine();

private:
    void TakeLine(const wchar_t* text, uint32_t length);
    void KeepPartial(const wchar_t* text, uint32_t length);

    C_PlotData& m_data;
    C_PlotClock& m_clock;
    std::atomic<bool> m_collecting{false};
    bool m_wasCollecting = false;
    bool m_skipToLineEnd = false; // collecting began inside a line
    bool m_atLineStart = true;    // the last text, collected or not, ended a line
    C_DynamicBuffer<wchar_t> m_partial;
    int64_t m_lastTime = 0;
    PlotParser::Sample m_samples[PlotParser::kMaxSamples];
};
