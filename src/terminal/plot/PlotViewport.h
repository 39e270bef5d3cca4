#pragma once
// Which stretch of time the plot shows. Live, it is the chosen span up to now, so the plot scrolls. Paused, it
// stays where it was while data keeps arriving, and it can be zoomed around a point and panned. Resuming
// returns to the live span.
#include <cstdint>

class C_PlotViewport {
public:
    static constexpr uint32_t kSpans[] = {10, 30, 60, 300}; // seconds
    static constexpr uint32_t kDefaultSpan = 30;
    static constexpr int64_t kMicrosecondsPerSecond = 1000000;
    // Zooming in stops at 10 ms and out at a week: below, even 10,000 lines a second leave columns empty; above,
    // a million points a series cover it at one a second.
    static constexpr int64_t kMinimumSpan = 10000;
    static constexpr int64_t kMaximumSpan = int64_t(7) * 24 * 3600 * kMicrosecondsPerSecond;

    // One of kSpans; anything else becomes the default.
    static uint32_t ValidSpan(uint32_t seconds);

    void SetSpanSeconds(uint32_t seconds);
    uint32_t SpanSeconds() const { return m_spanSeconds; }

    bool IsPaused() const { return m_paused; }
    // Pausing freezes the window that ends at now; resuming follows now again with the chosen span.
    void Pause(int64_t now);
    void Resume();

    // The shown window [start, end) for now.
    void Window(int64_t now, int64_t& start, int64_t& end) const;
    // The newest time shown: while paused, what arrived after the pause waits for the resume.
    int64_t Newest() const { return m_paused ? m_pausedAt : INT64_MAX; }

    // While paused: factor > 1 zooms in, keeping the time at `fraction` of the width (0 left, 1 right) in place.
    void Zoom(double factor, double fraction);
    // While paused: moves the window later by delta (earlier when negative).
    void Pan(int64_t delta);

private:
    uint32_t m_spanSeconds = kDefaultSpan;
    bool m_paused = false;
    int64_t m_pausedEnd = 0;
    int64_t m_pausedAt = 0;
    int64_t m_pausedSpan = 0;
};
