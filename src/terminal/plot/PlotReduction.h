#pragma once
// From a series' points to what a plot of a given width can show: one column per pixel, each holding the first,
// last, smallest and largest value of the points whose times fall into it. A line through first, smallest,
// largest and last of every column, joined column to column, covers every pixel the line through all points
// would, so no peak is ever lost however many points share a pixel. The points just outside the window are
// kept too, so the line runs on to the plot's edges.
#include "terminal/plot/PlotData.h"

#include <cstdint>

namespace PlotReduction {

struct Column {
    uint32_t count; // points in the column; the values mean nothing when 0
    double first;
    double last;
    double min;
    double max;
};

struct Neighbour {
    bool present;
    int64_t time;
    double value;
};

struct Result {
    Neighbour before; // the last point before the window
    Neighbour after;  // the first point at or after its end
    uint32_t points;  // inside the window
    double min;       // of the points inside; meaningless without points
    double max;
};

// Column c of `columns` covers [start + c * (end - start) / columns, start + (c + 1) * (end - start) / columns).
// Points after newest count as not there yet (a paused plot shows the data as it was). Requires start < end and
// columns > 0; the caller holds the data's lock.
Result Reduce(const C_PlotSeries& series, int64_t start, int64_t end, Column* out, uint32_t columns,
              int64_t newest = INT64_MAX);

} // namespace PlotReduction
