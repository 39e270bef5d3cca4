#include "terminal/plot/PlotReduction.h"

namespace {

// The column a point falls into, and where that column ends, from the exact bounds: column c holds the offsets o
// with c * span <= o * columns < (c + 1) * span.
struct Cursor {
    int64_t start;
    int64_t span;
    uint32_t columns;
    uint32_t column;
    int64_t end; // the first time of the next column

    void Enter(int64_t time) {
        int64_t offset = time - start;
        column = uint32_t(offset * int64_t(columns) / span);
        end = start + ((int64_t(column) + 1) * span + int64_t(columns) - 1) / int64_t(columns);
    }
};

// The first point from `from` at or after end: a gallop, then a binary search, so a column of many points costs a
// few comparisons of times rather than one for each.
uint32_t ColumnEnd(const int64_t* times, uint32_t from, uint32_t count, int64_t end) {
    uint32_t low = from, step = 1, high = from;
    while (high < count && times[high] < end) {
        low = high + 1;
        high = from + step;
        step *= 2;
    }
    if (high > count)
        high = count;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (times[middle] < end)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// Points are in time order, so a column's points come one after the other: only the extremes are compared for
// each, and only the first point of a column computes its place.
void TakeRun(const C_PlotSeries::Run& run, Cursor& cursor, PlotReduction::Column* out) {
    const int64_t* times = run.times;
    const double* values = run.values;
    uint32_t i = 0;
    while (i < run.count) {
        PlotReduction::Column* column = nullptr;
        if (times[i] >= cursor.end || out[cursor.column].count == 0) {
            cursor.Enter(times[i]);
            column = &out[cursor.column];
            column->count = 0;
        } else {
            column = &out[cursor.column];
        }
        double min = column->count ? column->min : values[i];
        double max = column->count ? column->max : values[i];
        if (!column->count)
            column->first = values[i];
        uint32_t begin = i;
        uint32_t stop = ColumnEnd(times, i, run.count, cursor.end);
        for (; i < stop; ++i) {
            double value = values[i];
            min = value < min ? value : min;
            max = value > max ? value : max;
        }
        column->count += i - begin;
        column->min = min;
        column->max = max;
        column->last = values[i - 1];
    }
}

} // namespace

// The columns of points [from, to); the points outside the window are its neighbours.
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
    Cursor cursor{start, end - start, columns, 0, INT64_MIN};
    C_PlotSeries::Run runs[2];
    uint32_t runCount = series.Runs(from, to, runs);
    for (uint32_t r = 0; r < runCount; ++r)
        TakeRun(runs[r], cursor, out);
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
