#include "terminal/plot/PlotReduction.h"

namespace {

void Take(PlotReduction::Column& column, double value) {
    if (column.count++ == 0) {
        column.first = column.last = column.min = column.max = value;
        return;
    }
    column.last = value;
    if (value < column.min)
        column.min = value;
    if (value > column.max)
        column.max = value;
}

} // namespace

// Points are visited in time order, so the column index only grows; it is computed from the time by one
// multiplication and corrected by the column's exact bounds, so a point on a boundary lands where the
// bounds say however the division rounds.
PlotReduction::Result PlotReduction::Reduce(const C_PlotSeries& series, int64_t start, int64_t end, Column* out,
                                            uint32_t columns, int64_t newest) {
    Result result{{false, 0, 0}, {false, 0, 0}, 0, 0, 0};
    for (uint32_t c = 0; c < columns; ++c)
        out[c].count = 0;
    uint32_t count = series.FirstAfter(newest);
    uint32_t from = series.FirstAtOrAfter(start);
    uint32_t to = series.FirstAtOrAfter(end);
    from = from < count ? from : count;
    to = to < count ? to : count;
    if (from > 0)
        result.before = {true, series.TimeAt(from - 1), series.ValueAt(from - 1)};
    if (to < count)
        result.after = {true, series.TimeAt(to), series.ValueAt(to)};
    const double span = double(end - start);
    const double scale = double(columns) / span;
    C_PlotSeries::Run runs[2];
    uint32_t runCount = series.Runs(from, to, runs);
    for (uint32_t r = 0; r < runCount; ++r) {
        const int64_t* times = runs[r].times;
        const double* values = runs[r].values;
        for (uint32_t i = 0; i < runs[r].count; ++i) {
            int64_t offset = times[i] - start;
            uint32_t c = uint32_t(double(offset) * scale);
            if (c >= columns)
                c = columns - 1;
            // The exact bound: column c starts at c * span / columns.
            while (c > 0 && offset * int64_t(columns) < int64_t(c) * (end - start))
                --c;
            while (c + 1 < columns && offset * int64_t(columns) >= int64_t(c + 1) * (end - start))
                ++c;
            Take(out[c], values[i]);
        }
    }
    result.points = to - from;
    bool any = false;
    for (uint32_t c = 0; c < columns; ++c) {
        if (!out[c].count)
            continue;
        if (!any || out[c].min < result.min)
            result.min = out[c].min;
        if (!any || out[c].max > result.max)
            result.max = out[c].max;
        any = true;
    }
    return result;
}
