// What a received line gives the plot: pairs by name, otherwise numbers by position, with the number forms
// devices print and the junk around them.
#include "terminal/plot/PlotNumber.h"
#include "terminal/plot/PlotParser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Describe(const std::wstring& line) {
    PlotParser::Sample samples[PlotParser::kMaxSamples];
    uint32_t count = PlotParser::ParseLine(line.data(), uint32_t(line.size()), samples);
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        char value[PlotNumber::kMaxText];
        PlotNumber::Format(samples[i].value, value, sizeof value);
        std::wstring name = samples[i].name ? std::wstring(samples[i].name, samples[i].nameLength)
                                            : std::to_wstring(samples[i].position);
        char utf8[4 * PlotParser::kMaxNameLength + 1] = {};
        WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, utf8, int(sizeof utf8), nullptr, nullptr);
        text += std::string(i ? " " : "") + utf8 + "=" + value;
    }
    return text;
}

struct LineCase {
    const wchar_t* line;
    const char* samples;
};

const LineCase kLines[] = {
    // Pairs, several to a line, with '=' or ':' and the blanks people put around them.
    {L"temp=41.5 fan=1200", "temp=41.5 fan=1200"},
    {L"temp = 41.5, fan =1200; rpm= 3", "temp=41.5 fan=1200 rpm=3"},
    {L"x: 1 y:2\tz:  -3", "x=1 y=2 z=-3"},
    {L"[boot] ch_1.avg=0.5 Kp-gain=2", "ch_1.avg=0.5 Kp-gain=2"},
    {L"\x03C4\x03B1\x03C3\x03B7=3.3V current=120mA", "\xCF\x84\xCE\xB1\xCF\x83\xCE\xB7=3.3 current=120"},
    // A line with pairs gives only its pairs; a pair whose value is no number is skipped.
    {L"ADC 512: a=1 7 9", "a=1"},
    {L"mode=fast speed=12", "speed=12"},
    {L"id=0x1F v=5.10.0 t=12:30:00 ok=1", "ok=1"},
    {L"a_name_of_thirty_three_characters=1 b=2", "b=2"},
    // Otherwise numbers by position, among commas, blanks, tabs and semicolons; junk takes no position.
    {L"0.12,0.98,-3e-2", "1=0.12 2=0.98 3=-0.03"},
    {L"  1;\t2 ,, 3  ", "1=1 2=2 3=3"},
    {L"ADC 512 1023 done", "1=512 2=1023"},
    {L"12:34:56 1.5.2 0x10 v2 7", "1=7"},
    {L"3.3V 50% 20\x00B0"
     L"C",
     "1=3.3 2=50 3=20"},
    // Number forms: signs, fractions, exponents; the nearest double.
    {L"+5 -0 007 5. 1e3 1E+3 2.5e-3 -1.25E2", "1=5 2=-0 3=7 4=5 5=1000 6=1000 7=0.0025 8=-125"},
    {L"0.1 123456789012345678 1e-300 1e308", "1=0.1 2=1.2345678901234568e+17 3=1e-300 4=1e+308"},
    {L"1e309 -1e999 .5 - e5 1e+ 1e", "1=1"},
    // Nothing to plot.
    {L"", ""},
    {L"Booting kernel, please wait", ""},
    {L"nan inf NaN -inf", ""},
};

TEST(PlotParser, LinesGiveTheirSamples) {
    for (const LineCase& c : kLines)
        EXPECT_EQ(Describe(c.line), c.samples) << std::string(c.line, c.line + wcslen(c.line));
}

TEST(PlotParser, ALineGivesAtMostSixteenPositionsAndAtMostTheSampleLimitOfPairs) {
    std::wstring numbers, pairs;
    for (int i = 1; i <= 40; ++i)
        numbers += std::to_wstring(i) + L",";
    for (uint32_t i = 0; i < PlotParser::kMaxSamples + 10; ++i)
        pairs += L"n" + std::to_wstring(i) + L"=" + std::to_wstring(i) + L" ";
    PlotParser::Sample samples[PlotParser::kMaxSamples];
    ASSERT_EQ(PlotParser::ParseLine(numbers.data(), uint32_t(numbers.size()), samples), PlotParser::kMaxPositions);
    EXPECT_EQ(samples[15].position, 16u);
    EXPECT_EQ(samples[15].value, 16);
    EXPECT_EQ(PlotParser::ParseLine(pairs.data(), uint32_t(pairs.size()), samples), PlotParser::kMaxSamples);
}

// A megabyte-long line of any content is parsed in one pass and finds what it holds.
TEST(PlotParser, VeryLongLinesAreParsed) {
    struct LongCase {
        std::wstring line;
        const char* samples;
    } cases[] = {
        {std::wstring(1 << 20, L'7'), ""},                     // one number far beyond a double's digits
        {std::wstring(1 << 20, L'x') + L" 5", "1=5"},          // one long word, then a number
        {std::wstring(1 << 20, L' ') + L"v=2", "v=2"},         // blanks
        {L"a=" + std::wstring(1 << 20, L'1'), ""},             // a pair whose value is too long to be a reading
        {std::wstring(1 << 19, L'a') + L"=1 b=2", "b=2"},      // a name far beyond the name limit
        {std::wstring(1 << 20, L',') + L"-1,-2", "1=-1 2=-2"}, // separators
    };
    for (const LongCase& c : cases)
        EXPECT_EQ(Describe(c.line), c.samples) << c.line.size();
}

TEST(PlotNumber, FormatsTheShortestTextThatReadsBack) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0, "0"},       {41.5, "41.5"},  {0.1, "0.1"},    {-0.03, "-0.03"},
                 {1200, "1200"}, {1e21, "1e+21"}, {1e-5, "1e-05"}, {1.0 / 3, "0.33333333333333331"}};
    for (const auto& c : cases) {
        char text[PlotNumber::kMaxText];
        PlotNumber::Format(c.value, text, sizeof text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(strtod(text, nullptr), c.value) << text;
    }
}

} // namespace
