#pragma once
// C_PlotData: the series the plot draws, filled from received lines. Each series has a name ("temp", or "1" for
// the first number of a line without pairs) and its points, a time and a value each, oldest first. There are
// at most kMaxSeries series: names beyond the 16th are not plotted. A series holds at most kMaxPoints points
// and then drops its oldest for each new one, so memory is bounded (16 bytes a point: 256 MB with every series
// full) while the newest minutes are always kept.
//
// Times are microseconds on the plot clock (PlotFeed.h), strictly increasing within a series: the feed gives
// every line a time of its own, and a name that comes twice in one line keeps its last value.
//
// Threads: the reader thread adds lines; the window and the exports read. AddLine and Clear take the lock
// themselves; readers hold Lock() across everything they read.
#include "platform/system/Handles.h"
#include "terminal/plot/PlotParser.h"

#include <atomic>
#include <cstdint>

class C_PlotSeries {
public:
    // A run of points stored next to each other; the points of a range are at most two runs.
    struct Run {
        const int64_t* times;
        const double* values;
        uint32_t count;
    };

    C_PlotSeries() = default;
    ~C_PlotSeries();
    C_PlotSeries(const C_PlotSeries&) = delete;
    C_PlotSeries& operator=(const C_PlotSeries&) = delete;

    const wchar_t* Name() const { return m_name; }
    uint32_t Count() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    int64_t TimeAt(uint32_t i) const { return m_times[Physical(i)]; }
    double ValueAt(uint32_t i) const { return m_values[Physical(i)]; }
    // Points dropped at the limit since the series was made or cleared.
    uint64_t Dropped() const { return m_dropped; }

    // The first point at or after time, and the first after it (Count() when none).
    uint32_t FirstAtOrAfter(int64_t time) const;
    uint32_t FirstAfter(int64_t time) const;
    // Points [from, to) as runs; returns how many runs (0 to 2) were written.
    uint32_t Runs(uint32_t from, uint32_t to, Run (&runs)[2]) const;

private:
    friend class C_PlotData;
    static constexpr uint32_t kFirstCapacity = 1024;

    uint32_t Physical(uint32_t i) const { return m_start + i < m_capacity ? m_start + i : m_start + i - m_capacity; }
    void Start(const wchar_t* name, uint32_t length, uint32_t limit);
    void Append(int64_t time, double value);
    void ReplaceLast(double value) {
        if (m_count)
            m_values[Physical(m_count - 1)] = value;
    }
    bool Grow();
    void Release();

    wchar_t m_name[PlotParser::kMaxNameLength + 1] = {};
    int64_t* m_times = nullptr;
    double* m_values = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_start = 0; // the oldest point's place
    uint32_t m_count = 0;
    uint32_t m_limit = 0;
    uint64_t m_dropped = 0;
};

class C_PlotData {
public:
    static constexpr uint32_t kMaxSeries = 16;
    static constexpr uint32_t kMaxPoints = 1000000;

    // Tests choose a smaller limit of points per series.
    explicit C_PlotData(uint32_t pointLimit = kMaxPoints) : m_pointLimit(pointLimit ? pointLimit : 1) {}
    C_PlotData(const C_PlotData&) = delete;
    C_PlotData& operator=(const C_PlotData&) = delete;

    // One line's samples at one time, later than any before. Returns how many samples were taken.
    uint32_t AddLine(int64_t time, const PlotParser::Sample* samples, uint32_t count);
    // Every series goes; the next line starts new ones.
    void Clear();

    C_CriticalSection& Lock() { return m_lock; }
    uint32_t SeriesCount() const { return m_seriesCount; }
    const C_PlotSeries& Series(uint32_t index) const { return m_series[index]; }
    // The series of that name, or kMaxSeries.
    uint32_t Find(const wchar_t* name) const;
    // The time of the first line since the data was made or cleared, which exports count from.
    int64_t Origin() const { return m_origin; }
    int64_t Newest() const { return m_newest; }

    // Changes with every line added and every clear; read without the lock to see whether a new picture is due.
    uint32_t Revision() const { return m_revision.load(std::memory_order_acquire); }
    // Changes with every clear: an export under way stops rather than mixing two sets of series.
    uint32_t Generation() const { return m_generation; }

private:
    uint32_t SeriesFor(const PlotParser::Sample& sample);

    C_CriticalSection m_lock;
    C_PlotSeries m_series[kMaxSeries];
    uint32_t m_seriesCount = 0;
    uint32_t m_pointLimit;
    int64_t m_origin = 0;
    int64_t m_newest = 0;
    uint32_t m_generation = 0;
    std::atomic<uint32_t> m_revision{0};
};
