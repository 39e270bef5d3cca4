#include "terminal/plot/PlotViewport.h"

constexpr uint32_t C_PlotViewport::kSpans[];

uint32_t C_PlotViewport::ValidSpan(uint32_t seconds) {
    for (uint32_t span : kSpans)
        if (span == seconds)
            return span;
    return kDefaultSpan;
}

// A new span while paused keeps the paused window's end.
void C_PlotViewport::SetSpanSeconds(uint32_t seconds) {
    m_spanSeconds = ValidSpan(seconds);
    m_pausedSpan = int64_t(m_spanSeconds) * kMicrosecondsPerSecond;
}

void C_PlotViewport::Pause(int64_t now) {
    if (m_paused)
        return;
    m_paused = true;
    m_pausedEnd = m_pausedAt = now;
    m_pausedSpan = int64_t(m_spanSeconds) * kMicrosecondsPerSecond;
}

void C_PlotViewport::Resume() {
    m_paused = false;
}

void C_PlotViewport::Window(int64_t now, int64_t& start, int64_t& end) const {
    if (m_paused) {
        end = m_pausedEnd;
        start = end - m_pausedSpan;
        return;
    }
    end = now;
    start = now - int64_t(m_spanSeconds) * kMicrosecondsPerSecond;
}

void C_PlotViewport::Zoom(double factor, double fraction) {
    if (!m_paused || !(factor > 0))
        return;
    if (fraction < 0)
        fraction = 0;
    if (fraction > 1)
        fraction = 1;
    int64_t start = m_pausedEnd - m_pausedSpan;
    double anchor = double(start) + fraction * double(m_pausedSpan);
    double span = double(m_pausedSpan) / factor;
    if (span < double(kMinimumSpan))
        span = double(kMinimumSpan);
    if (span > double(kMaximumSpan))
        span = double(kMaximumSpan);
    m_pausedSpan = int64_t(span);
    m_pausedEnd = int64_t(anchor + (1 - fraction) * span);
}

void C_PlotViewport::Pan(int64_t delta) {
    if (m_paused)
        m_pausedEnd += delta;
}
