// From received bytes to the plot's series: what the store shows (filtered, without stamps) is what is plotted,
// each line at its own time; the series' limits; the store's bookkeeping of names and points.
#include "terminal/TerminalHarness.h"

#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "terminal/receive/TimeStamp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class StepClock final : public C_PlotClock {
public:
    int64_t Microseconds() override { return now; }
    int64_t now = 1000000;
};

class FixedStampClock final : public C_StampClock {
public:
    SYSTEMTIME LocalTime() override {
        SYSTEMTIME t = {};
        t.wYear = 2026;
        t.wMonth = 1;
        t.wDay = 2;
        t.wHour = 12;
        t.wMinute = 34;
        t.wSecond = 56;
        return t;
    }
};

// "name: v v v" per series, in the order the series were made.
std::vector<std::string> Series(C_PlotData& data) {
    C_Lock lock(data.Lock());
    std::vector<std::string> all;
    for (uint32_t s = 0; s < data.SeriesCount(); ++s) {
        const C_PlotSeries& series = data.Series(s);
        std::wstring name = series.Name();
        std::string text(name.begin(), name.end());
        text += ":";
        for (uint32_t i = 0; i < series.Count(); ++i) {
            char value[32];
            snprintf(value, sizeof value, " %g", series.ValueAt(i));
            text += value;
        }
        all.push_back(text);
    }
    return all;
}

struct PlottedTerminal : TerminalHarness {
    PlottedTerminal() {
        assembly.SetShownTextSink(&feed);
        feed.SetCollecting(true);
    }
    StepClock clock;
    C_PlotData data;
    C_PlotFeed feed{data, clock};
};

using Lines = std::vector<std::string>;

TEST(PlotFeed, PlotsTheLinesTheStoreShows) {
    struct Case {
        const char* what;
        const char* filter; // null: none
        const wchar_t* stamp;
        std::string received;
        Lines series;
    } cases[] = {
        {"pairs and positions",
         nullptr,
         L"",
         "temp=41.5 fan=1200\r\n1,2\r\ntemp=42\r\n",
         {"temp: 41.5 42", "fan: 1200", "1: 1", "2: 2"}},
        {"colours and lone CRs", nullptr, L"", "\x1b[31mv=1\x1b[0m\rv=2\n\rv=3\r\n", {"v: 1 2 3"}},
        {"a line still under way waits", nullptr, L"", "v=1\r\nv=2", {"v: 1"}},
        {"the filter chooses", "keep", L"", "keep a=1\r\nhide a=2\r\nkeep a=3 b=4\r\n", {"a: 1 3", "b: 4"}},
        {"stamps are not numbers of the line", nullptr, L"HH:mm:ss ", "5 6\r\n7\r\n", {"1: 5 7", "2: 6"}},
        {"nor with a filter", "", L"[HH:mm:ss] ", "5 6\r\n7\r\n", {"1: 5 7", "2: 6"}},
    };
    for (const Case& c : cases) {
        PlottedTerminal terminal;
        ContainsFilter filter;
        FixedStampClock stampClock;
        C_TimeStamps stamps;
        stamps.SetClock(&stampClock);
        stamps.SetPicture(c.stamp);
        terminal.assembly.SetTimeStamps(&stamps);
        if (c.filter) {
            std::string needle = c.filter;
            filter.needle.assign(needle.begin(), needle.end());
            terminal.store.SetFilter(&filter);
            terminal.store.SetFilterActive(true);
        }
        terminal.Receive(c.received);
        EXPECT_EQ(Series(terminal.data), c.series) << c.what;
    }
}

TEST(PlotFeed, CollectsOnlyWhileAskedAndSkipsTheLineItJoinedInTheMiddle) {
    PlottedTerminal terminal;
    terminal.feed.SetCollecting(false);
    terminal.Receive("v=1\r\nv=2");
    terminal.feed.SetCollecting(true);
    terminal.Receive("5\r\nv=3\r\nv=4");
    terminal.feed.SetCollecting(false);
    terminal.Receive("\r\nv=6\r\n");
    EXPECT_EQ(Series(terminal.data), Lines({"v: 3"}));
}

TEST(PlotFeed, EveryLineGetsATimeOfItsOwnInOrder) {
    PlottedTerminal terminal;
    terminal.clock.now = 5000;
    terminal.Receive("a=1\r\na=2 b=1\r\n");
    terminal.clock.now = 4000; // a clock that went back never reorders the plot
    terminal.Receive("a=3\r\n");
    terminal.clock.now = 9000;
    terminal.Receive("b=2\r\n");
    C_Lock lock(terminal.data.Lock());
    const C_PlotSeries& a = terminal.data.Series(0);
    const C_PlotSeries& b = terminal.data.Series(1);
    EXPECT_EQ(std::vector<int64_t>({a.TimeAt(0), a.TimeAt(1), a.TimeAt(2)}), std::vector<int64_t>({5000, 5001, 5002}));
    EXPECT_EQ(std::vector<int64_t>({b.TimeAt(0), b.TimeAt(1)}), std::vector<int64_t>({5001, 9000}));
    EXPECT_EQ(terminal.data.Origin(), 5000);
}

TEST(PlotFeed, AMillionLinesArePlottedAndTheOldestPointsDropped) {
    constexpr uint32_t kLines = 1000000;
    constexpr uint32_t kLimit = 300000;
    StepClock clock;
    C_PlotData data(kLimit);
    C_PlotFeed feed(data, clock);
    feed.SetCollecting(true);
    std::wstring block;
    for (uint32_t line = 0; line < kLines; ++line) {
        block += L"n=" + std::to_wstring(line) + L"," + std::to_wstring(line % 7) + L" -\n";
        if (block.size() > 60000 || line + 1 == kLines) {
            feed.TakeShownText(block.data(), uint32_t(block.size()));
            block.clear();
        }
    }
    C_Lock lock(data.Lock());
    ASSERT_EQ(data.SeriesCount(), 1u);
    const C_PlotSeries& n = data.Series(0);
    EXPECT_EQ(n.Count(), kLimit);
    EXPECT_EQ(n.Dropped(), kLines - kLimit);
    EXPECT_EQ(n.ValueAt(0), kLines - kLimit);
    EXPECT_EQ(n.ValueAt(kLimit - 1), kLines - 1);
    EXPECT_EQ(n.TimeAt(kLimit - 1) - n.TimeAt(0), int64_t(kLimit - 1));
}

TEST(PlotData, KeepsSixteenSeriesAndALinesLastValueForARepeatedName) {
    C_PlotData data;
    std::wstring wide = L"a=1 a=2 ";
    for (int i = 0; i < 20; ++i)
        wide += L"s" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L" ";
    PlotParser::Sample samples[PlotParser::kMaxSamples];
    uint32_t count = PlotParser::ParseLine(wide.data(), uint32_t(wide.size()), samples);
    EXPECT_EQ(data.AddLine(10, samples, count), 17u);
    std::wstring narrow = L"1 2 3";
    count = PlotParser::ParseLine(narrow.data(), uint32_t(narrow.size()), samples);
    EXPECT_EQ(data.AddLine(11, samples, count), 0u);
    C_Lock lock(data.Lock());
    ASSERT_EQ(data.SeriesCount(), C_PlotData::kMaxSeries);
    EXPECT_EQ(data.Series(0).Count(), 1u);
    EXPECT_EQ(data.Series(0).ValueAt(0), 2);
    EXPECT_STREQ(data.Series(15).Name(), L"s14");
    EXPECT_EQ(data.Find(L"s15"), C_PlotData::kMaxSeries);
}

// The ring keeps its order through growth and wrapping, and finds points by time on both sides of the wrap.
TEST(PlotData, ASeriesAtItsLimitKeepsItsNewestPointsInOrder) {
    C_PlotData data(1500);
    for (int64_t t = 0; t < 4000; ++t) {
        PlotParser::Sample sample{L"v", 1, 0, double(t)};
        data.AddLine(t * 10, &sample, 1);
    }
    C_Lock lock(data.Lock());
    const C_PlotSeries& v = data.Series(0);
    ASSERT_EQ(v.Count(), 1500u);
    for (uint32_t i = 0; i < v.Count(); ++i)
        ASSERT_EQ(v.ValueAt(i), 2500 + i);
    EXPECT_EQ(v.FirstAtOrAfter(0), 0u);
    EXPECT_EQ(v.FirstAtOrAfter(30000), 500u);
    EXPECT_EQ(v.FirstAtOrAfter(30001), 501u);
    EXPECT_EQ(v.FirstAfter(30000), 501u);
    EXPECT_EQ(v.FirstAtOrAfter(40000), 1500u);
    C_PlotSeries::Run runs[2];
    uint32_t runCount = v.Runs(100, 1400, runs);
    uint32_t total = 0;
    for (uint32_t r = 0; r < runCount; ++r)
        total += runs[r].count;
    EXPECT_EQ(total, 1300u);
    EXPECT_EQ(runs[0].values[0], 2600);
}

} // namespace
