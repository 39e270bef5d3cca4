#include "terminal/plot/PlotFeed.h"

#include <windows.h>

namespace {

constexpr int64_t kMicrosecondsPerSecond = 1000000;

class C_SystemPlotClock final : public C_PlotClock {
public:
    C_SystemPlotClock() {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        m_base = int64_t(uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10;
        LARGE_INTEGER counter, frequency;
        QueryPerformanceCounter(&counter);
        QueryPerformanceFrequency(&frequency);
        m_counterBase = counter.QuadPart;
        m_frequency = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    }
    int64_t Microseconds() override {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        int64_t ticks = counter.QuadPart - m_counterBase;
        // In two steps, so the product never overflows whatever the counter's frequency.
        return m_base + ticks / m_frequency * kMicrosecondsPerSecond +
               ticks % m_frequency * kMicrosecondsPerSecond / m_frequency;
    }

private:
    int64_t m_base;
    int64_t m_counterBase;
    int64_t m_frequency;
};

} // namespace

C_PlotClock& SystemPlotClock() {
    static C_SystemPlotClock clock;
    return clock;
}

void C_PlotFeed::TakeShownText(const wchar_t* text, uint32_t length) {
    bool collecting = IsCollecting();
    if (collecting != m_wasCollecting) {
        m_wasCollecting = collecting;
        m_partial.Reset();
        // What came before was not collected, so a line under way is known only from here on.
        m_skipToLineEnd = collecting && !m_atLineStart;
    }
    if (length)
        m_atLineStart = text[length - 1] == L'\n';
    if (!collecting)
        return;
    uint32_t start = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] != L'\n')
            continue;
        if (m_skipToLineEnd) {
            m_skipToLineEnd = false;
        } else if (m_partial.Count()) {
            KeepPartial(text + start, i - start);
            TakeLine(m_partial.Data(), m_partial.Count());
        } else {
            TakeLine(text + start, i - start);
        }
        m_partial.Reset();
        start = i + 1;
    }
    if (start < length && !m_skipToLineEnd)
        KeepPartial(text + start, length - start);
}

void C_PlotFeed::FinishLine() {
    if (IsCollecting() && !m_skipToLineEnd && m_partial.Count())
        TakeLine(m_partial.Data(), m_partial.Count());
    m_partial.Reset();
}

void C_PlotFeed::KeepPartial(const wchar_t* text, uint32_t length) {
    uint32_t room = kMaxLineLength - m_partial.Count();
    if (length > room)
        length = room;
    if (!length || !m_partial.Reserve(m_partial.Count() + length))
        return;
    for (uint32_t i = 0; i < length; ++i)
        m_partial.Data()[m_partial.Count() + i] = text[i];
    m_partial.SetCount(m_partial.Count() + length);
}

// Every line gets a time of its own, later than the one before, even when many arrive within a tick: a
// series' times then order its points, and an export finds each line's row by its time.
void C_PlotFeed::TakeLine(const wchar_t* text, uint32_t length) {
    uint32_t count = PlotParser::ParseLine(text, length < kMaxLineLength ? length : kMaxLineLength, m_samples);
    if (!count)
        return;
    int64_t now = m_clock.Microseconds();
    m_lastTime = now > m_lastTime ? now : m_lastTime + 1;
    m_data.AddLine(m_lastTime, m_samples, count);
}
