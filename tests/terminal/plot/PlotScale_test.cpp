// The plot's scales and the shown stretch of time: round ticks enclosing the values, clock labels, and the
// paused window's zoom and pan.
#include "terminal/plot/PlotAxis.h"
#include "terminal/plot/PlotViewport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Labels(double low, double high, uint32_t maxTicks) {
    PlotAxis::Ticks ticks = PlotAxis::ValueTicks(low, high, maxTicks);
    std::wstring labels;
    for (uint32_t i = 0; i < ticks.count; ++i) {
        wchar_t label[PlotAxis::kMaxLabel];
        PlotAxis::FormatValue(PlotAxis::TickValue(ticks, i), ticks.decimals, label, PlotAxis::kMaxLabel);
        labels += (i ? L" " : L"") + std::wstring(label);
    }
    return labels;
}

TEST(PlotAxis, ValueTicksAreRoundAndEncloseTheRange) {
    const struct {
        double low, high;
        uint32_t maxTicks;
        const wchar_t* labels;
    } cases[] = {
        {41.5, 45.4, 6, L"41 42 43 44 45 46"}, {0, 1200, 8, L"0 200 400 600 800 1000 1200"},
        {-0.03, 0.98, 6, L"-0.5 0.0 0.5 1.0"}, {5, 5, 5, L"4.5 5.0 5.5"},
        {0, 0, 5, L"-1.0 -0.5 0.0 0.5 1.0"},   {-1e6, 1e6, 5, L"-1000000 -500000 0 500000 1000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Labels(c.low, c.high, c.maxTicks), c.labels) << c.low << ".." << c.high;
}

TEST(PlotAxis, TimeTicksFallOnRoundClockTimes) {
    constexpr int64_t kSecond = 1000000;
    constexpr int64_t kNoon = (int64_t(152000) * 86400 + 12 * 3600) * kSecond; // a day's noon, UTC
    const struct {
        int64_t span;
        int64_t bias;
        const wchar_t* first;
    } cases[] = {
        {10 * kSecond, 0, L"12:00:02"},
        {300 * kSecond, 0, L"12:01:00"},
        {300 * kSecond, 3600 * kSecond, L"13:01:00"},
        {kSecond / 10, 0, L"12:00:01.26"},
    };
    for (const auto& c : cases) {
        int64_t start = kNoon + kSecond + kSecond / 4 + 7;
        int64_t step = PlotAxis::TimeStep(c.span, 8);
        EXPECT_LE(c.span / step, 8);
        int64_t first = PlotAxis::FirstTimeTick(start, step, c.bias);
        EXPECT_GE(first, start);
        EXPECT_LT(first - start, step);
        wchar_t label[PlotAxis::kMaxLabel];
        PlotAxis::FormatTime(first, step, c.bias, label, PlotAxis::kMaxLabel);
        EXPECT_STREQ(label, c.first);
    }
}

TEST(PlotViewport, LiveFollowsNowPausedStaysAndZoomsAroundThePointer) {
    C_PlotViewport viewport;
    EXPECT_EQ(C_PlotViewport::ValidSpan(45), C_PlotViewport::kDefaultSpan);
    viewport.SetSpanSeconds(10);
    int64_t start, end;
    viewport.Window(100000000, start, end);
    EXPECT_EQ(start, 90000000);
    EXPECT_EQ(end, 100000000);
    viewport.Zoom(2, 0.5); // live: nothing to zoom
    viewport.Pause(100000000);
    viewport.Window(200000000, start, end);
    EXPECT_EQ(end, 100000000);
    viewport.Zoom(2, 0.25); // the time a quarter in, 92.5 s, stays a quarter in
    viewport.Window(200000000, start, end);
    EXPECT_EQ(start, 91250000);
    EXPECT_EQ(end, 96250000);
    viewport.Pan(-1250000);
    viewport.Window(200000000, start, end);
    EXPECT_EQ(start, 90000000);
    viewport.Zoom(1e9, 0); // at most the smallest span
    viewport.Window(200000000, start, end);
    EXPECT_EQ(end - start, C_PlotViewport::kMinimumSpan);
    viewport.Resume();
    viewport.Window(200000000, start, end);
    EXPECT_EQ(end - start, 10000000);
    EXPECT_EQ(end, 200000000);
}

} // namespace
