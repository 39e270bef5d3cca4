#include "ui/plot/PlotFrame.h"

#include "foundation/base/Memory.h"

#include <cwchar>

C_PlotFrame::~C_PlotFrame() {
    Memory::Release(m_block);
}

bool C_PlotFrame::Take(C_PlotData& data, int64_t start, int64_t end, uint32_t columns, uint32_t hiddenMask,
                       int64_t hoverTime, int64_t newest) {
    m_seriesCount = 0;
    m_newest = newest;
    m_start = start;
    m_end = end > start ? end : start + 1;
    m_columns = columns ? columns : 1;
    if (m_columns > m_blockColumns) {
        void* block =
            Memory::Reallocate(m_block, size_t(m_columns) * C_PlotData::kMaxSeries * sizeof(PlotReduction::Column));
        if (!block)
            return false;
        m_block = static_cast<PlotReduction::Column*>(block);
        m_blockColumns = m_columns;
    }
    C_Lock lock(data.Lock());
    m_seriesCount = data.SeriesCount();
    m_generation = data.Generation();
    for (uint32_t s = 0; s < m_seriesCount; ++s) {
        m_series[s].hidden = (hiddenMask >> s) & 1;
        TakeSeries(data.Series(s), m_series[s], m_block + size_t(s) * m_blockColumns, hoverTime);
    }
    return true;
}

// A hidden series keeps its name and latest value for the legend, and costs no reduction.
void C_PlotFrame::TakeSeries(const C_PlotSeries& source, PlotFrameSeries& series, PlotReduction::Column* columns,
                             int64_t hoverTime) {
    wcsncpy(series.name, source.Name(), PlotParser::kMaxNameLength);
    series.name[PlotParser::kMaxNameLength] = 0;
    series.hasLatest = !source.IsEmpty();
    series.latest = series.hasLatest ? source.ValueAt(source.Count() - 1) : 0;
    series.columns = columns;
    series.hasNearest = false;
    if (series.hidden) {
        series.reduced = {{false, 0, 0}, {false, 0, 0}, 0, 0, 0};
        return;
    }
    series.reduced = PlotReduction::Reduce(source, m_start, m_end, columns, m_columns, m_newest);
    uint32_t count = source.FirstAfter(m_newest);
    if (hoverTime == kNoHover || !count)
        return;
    uint32_t after = source.FirstAtOrAfter(hoverTime);
    after = after < count ? after : count;
    uint32_t nearest = after;
    if (after == count || (after > 0 && hoverTime - source.TimeAt(after - 1) < source.TimeAt(after) - hoverTime))
        nearest = after - 1;
    series.hasNearest = true;
    series.nearestTime = source.TimeAt(nearest);
    series.nearestValue = source.ValueAt(nearest);
}

bool C_PlotFrame::HasLines() const {
    double low, high;
    return ValueRange(low, high);
}

bool C_PlotFrame::ValueRange(double& low, double& high) const {
    bool any = false;
    auto take = [&](double value) {
        if (!any || value < low)
            low = value;
        if (!any || value > high)
            high = value;
        any = true;
    };
    for (uint32_t s = 0; s < m_seriesCount; ++s) {
        const PlotFrameSeries& series = m_series[s];
        if (series.hidden)
            continue;
        if (series.reduced.points) {
            take(series.reduced.min);
            take(series.reduced.max);
        } else if (series.reduced.before.present && series.reduced.after.present) {
            take(series.reduced.before.value);
            take(series.reduced.after.value);
        }
    }
    return any;
}
