#pragma once
// C_PlotFrame: what one picture of the plot needs, taken from the data under its lock in one short step, so the
// drawing that follows never holds up the reader: each series reduced to the plot's pixel columns, its
// neighbours outside the window, its latest value and the point nearest the pointer's time.
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotReduction.h"

#include <cstdint>

struct PlotFrameSeries {
    wchar_t name[PlotParser::kMaxNameLength + 1];
    bool hidden;
    bool hasLatest;
    double latest;
    PlotReduction::Result reduced;
    const PlotReduction::Column* columns; // the frame's, `columns` of them
    bool hasNearest;                      // the point nearest the hover time
    int64_t nearestTime;
    double nearestValue;
};

class C_PlotFrame {
public:
    static constexpr int64_t kNoHover = INT64_MIN;

    C_PlotFrame() = default;
    ~C_PlotFrame();
    C_PlotFrame(const C_PlotFrame&) = delete;
    C_PlotFrame& operator=(const C_PlotFrame&) = delete;

    // Takes the window [start, end) at `columns` columns; hiddenMask has a bit per series not drawn. False when
    // memory for the columns cannot be had (the frame is then empty). Points after newest are left out.
    bool Take(C_PlotData& data, int64_t start, int64_t end, uint32_t columns, uint32_t hiddenMask, int64_t hoverTime,
              int64_t newest = INT64_MAX);

    int64_t Start() const { return m_start; }
    int64_t End() const { return m_end; }
    uint32_t Columns() const { return m_columns; }
    uint32_t SeriesCount() const { return m_seriesCount; }
    // The data's generation (C_PlotData::Generation) the frame was taken from.
    uint32_t Generation() const { return m_generation; }
    const PlotFrameSeries& Series(uint32_t index) const { return m_series[index]; }
    // Whether any shown series has a point in the window or a line crossing it.
    bool HasLines() const;
    // The smallest and largest value the shown series reach in the window (their crossing lines included);
    // false when there is none.
    bool ValueRange(double& low, double& high) const;

private:
    void TakeSeries(const C_PlotSeries& source, PlotFrameSeries& series, PlotReduction::Column* columns,
                    int64_t hoverTime);

    int64_t m_newest = INT64_MAX;

    int64_t m_start = 0;
    int64_t m_end = 1;
    uint32_t m_columns = 0;
    uint32_t m_seriesCount = 0;
    uint32_t m_generation = 0;
    PlotFrameSeries m_series[C_PlotData::kMaxSeries] = {};
    PlotReduction::Column* m_block = nullptr;
    uint32_t m_blockColumns = 0; // per series
};
