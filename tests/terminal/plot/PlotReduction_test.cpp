// The reduction to columns keeps every extreme: each point lies within its column's range, each column's range
// is made of its own points, and first and last are the column's first and last points.
#include "terminal/plot/PlotReduction.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Point {
    int64_t time;
    double value;
};

C_PlotData& Fill(C_PlotData& data, const std::vector<Point>& points) {
    for (const Point& p : points) {
        PlotParser::Sample sample{L"v", 1, 0, p.value};
        data.AddLine(p.time, &sample, 1);
    }
    return data;
}

// Where a point belongs by the exact column bounds.
uint32_t ColumnOf(int64_t time, int64_t start, int64_t end, uint32_t columns) {
    return uint32_t((time - start) * int64_t(columns) / (end - start));
}

void ExpectEveryExtremeKept(const std::vector<Point>& points, int64_t start, int64_t end, uint32_t columns) {
    C_PlotData data;
    Fill(data, points);
    std::vector<PlotReduction::Column> out(columns);
    C_Lock lock(data.Lock());
    PlotReduction::Result result = PlotReduction::Reduce(data.Series(0), start, end, out.data(), columns);
    std::vector<std::vector<double>> expected(columns);
    uint32_t inside = 0;
    for (const Point& p : points) {
        if (p.time < start || p.time >= end)
            continue;
        expected[ColumnOf(p.time, start, end, columns)].push_back(p.value);
        ++inside;
    }
    EXPECT_EQ(result.points, inside);
    for (uint32_t c = 0; c < columns; ++c) {
        const std::vector<double>& values = expected[c];
        ASSERT_EQ(out[c].count, values.size()) << "column " << c;
        if (values.empty())
            continue;
        EXPECT_EQ(out[c].first, values.front());
        EXPECT_EQ(out[c].last, values.back());
        EXPECT_EQ(out[c].min, *std::min_element(values.begin(), values.end()));
        EXPECT_EQ(out[c].max, *std::max_element(values.begin(), values.end()));
        EXPECT_GE(out[c].min, result.min);
        EXPECT_LE(out[c].max, result.max);
    }
}

TEST(PlotReduction, KeepsEveryExtremeOfDensePointsRandomValuesAndBoundaries) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 20; ++round) {
        std::vector<Point> points;
        int64_t time = int64_t(next() % 1000);
        for (int i = 0; i < 20000; ++i) {
            time += 1 + next() % 97;
            // Mostly noise; now and then a spike of one point, up or down.
            double value = double(next() % 1000) / 10;
            if (next() % 500 == 0)
                value = next() % 2 ? 1e6 : -1e6;
            points.push_back({time, value});
        }
        int64_t start = points[100].time + int64_t(next() % 50);
        int64_t end = points.back().time - int64_t(next() % 5000);
        ExpectEveryExtremeKept(points, start, end, 1 + next() % 1500);
    }
}

TEST(PlotReduction, PointsOnColumnBoundariesAndOutsideTheWindow) {
    // 10 columns of 100: times 0, 100, ... start a column each; 1000 is outside, as are the neighbours.
    std::vector<Point> points = {{-50, 7}, {0, 1}, {99, 2}, {100, 3}, {999, 4}, {1000, 5}, {1200, 6}};
    ExpectEveryExtremeKept(points, 0, 1000, 10);
    C_PlotData data;
    Fill(data, points);
    PlotReduction::Column out[10];
    C_Lock lock(data.Lock());
    PlotReduction::Result result = PlotReduction::Reduce(data.Series(0), 0, 1000, out, 10);
    EXPECT_TRUE(result.before.present);
    EXPECT_EQ(result.before.time, -50);
    EXPECT_EQ(result.before.value, 7);
    EXPECT_TRUE(result.after.present);
    EXPECT_EQ(result.after.time, 1000);
    EXPECT_EQ(result.min, 1);
    EXPECT_EQ(result.max, 4);
    // Points after the newest time shown (a paused plot) are not there, not even as neighbours.
    result = PlotReduction::Reduce(data.Series(0), 0, 1000, out, 10, 99);
    EXPECT_FALSE(result.after.present);
    EXPECT_EQ(result.points, 2u);
    EXPECT_EQ(out[0].count, 2u);
    EXPECT_EQ(out[1].count, 0u);
    // A window with no points inside still knows its neighbours, so the line crosses it.
    result = PlotReduction::Reduce(data.Series(0), 1001, 1100, out, 10);
    EXPECT_EQ(result.points, 0u);
    EXPECT_EQ(result.before.value, 5);
    EXPECT_EQ(result.after.value, 6);
}

// More columns than time units: columns without points stay empty, and no point is put into two.
TEST(PlotReduction, MoreColumnsThanMicroseconds) {
    ExpectEveryExtremeKept({{0, 1}, {1, 5}, {2, -5}, {3, 2}}, 0, 4, 1000);
}

} // namespace
