// Time stamps: their text for each picture, the animation, the powerline arrow, colours and when a line
// gets one.
#include "terminal/TerminalHarness.h"

#include "terminal/export/StoreExport.h"
#include "terminal/receive/TimeStamp.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME Time(WORD hour, WORD minute, WORD second, WORD milliseconds) {
    SYSTEMTIME t = {};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 6;
    t.wDayOfWeek = 0;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = milliseconds;
    return t;
}

class FixedClock final : public C_StampClock {
public:
    SYSTEMTIME LocalTime() override { return now; }
    SYSTEMTIME now = Time(17, 4, 9, 42);
};

struct StampedTerminal : TerminalHarness {
    explicit StampedTerminal(const wchar_t* picture, bool glyphs = false) {
        stamps.SetClock(&clock);
        stamps.SetPicture(picture);
        stamps.SetPowerLineGlyphsAvailable(glyphs);
        assembly.SetTimeStamps(&stamps);
    }
    FixedClock clock;
    C_TimeStamps stamps;
};

std::wstring Formatted(const wchar_t* picture, wchar_t animation = 0) {
    C_String out;
    EXPECT_TRUE(C_TimeStamps::FormatPicture(picture, Time(17, 4, 9, 42), animation, out));
    return out.c_str();
}

constexpr wchar_t kArrow = 0xE0B0;

} // namespace

TEST(TimeStamps, TheOfferedPicturesFormatDateThenTime) {
    EXPECT_EQ(Formatted(L"yyyy.MM.dd HH:mm:ss;"), L"2026.12.06 17:04:09;");
    EXPECT_EQ(Formatted(L"dd.MM.yyyy HH:mm:ss>"), L"06.12.2026 17:04:09>");
    EXPECT_EQ(Formatted(L"dd.MM.yyyy HH:mm:ss ani>", 0x280B), L"06.12.2026 17:04:09 \u280b>");
    EXPECT_EQ(Formatted(L"dd.MM.yyyy HH:mm:ss:iii>"), L"06.12.2026 17:04:09:042>");
    EXPECT_EQ(Formatted(L"ani|iii"), L"ani|042"); // no animation characters: "ani" stays
}

// Wine's formatters fault on pictures of 268 characters; a picture is cut to what the options dialog
// produces, also when the date step lengthens it, and the first 259 characters still format.
TEST(TimeStamps, LongPicturesAreCutBeforeFormatting) {
    struct Case {
        std::wstring picture;
        size_t expectedLength;
    } cases[] = {
        {std::wstring(259, L'x'), 259},
        {std::wstring(268, L'x'), 259},
        {std::wstring(5000, L'x'), 259},
        {L"HH:mm " + std::wstring(300, L'x'), 259},
    };
    for (const Case& c : cases) {
        std::wstring stamp = Formatted(c.picture.c_str());
        EXPECT_EQ(stamp.size(), c.expectedLength) << c.picture.size();
        EXPECT_EQ(stamp.back(), L'x');
    }
    std::wstring months;
    while (months.size() < 255)
        months += L"MMMM ";
    EXPECT_LE(Formatted(months.c_str()).size(), C_TimeStamps::kMaxPictureLength) << "lengthened by the date step";

    StampedTerminal t((L"HH" + std::wstring(400, L'x')).c_str());
    t.Receive("line\n");
    EXPECT_EQ(t.Line(0), L"17" + std::wstring(257, L'x') + L"line");
}

TEST(TimeStamps, StampIsTheTimeOfTheLinesFirstCharacterInStampColours) {
    StampedTerminal t(L"HH:mm:ss:iii>");
    t.Receive("a");
    t.clock.now = Time(18, 0, 0, 0);
    t.Receive("b\r\n");
    EXPECT_EQ(t.Line(0), L"17:04:09:042>ab");
    EXPECT_EQ(t.ForegroundAt(0, 0), Stored(0xFFFFFF));
    EXPECT_EQ(t.BackgroundAt(0, 0), Stored(0x1F4291));
    EXPECT_EQ(t.ForegroundAt(0, 13), Stored(Colour::kDefaultForeground));
    EXPECT_EQ(t.BackgroundAt(0, 13), Stored(Colour::kDefaultBackground));
}

TEST(TimeStamps, EmptyLinesGetNoStampAndSequencesDoNotStartALine) {
    StampedTerminal t(L"HH>");
    t.Receive("\r\n\r\n\x1b[31m\x1b[2Cx\r\n");
    EXPECT_EQ(t.Text(), L"||  17>x||");                // the stamp is written where the cursor is
    EXPECT_EQ(t.ForegroundAt(2, 5), Stored(0xE7132C)); // the text after the stamp in the colour set before it
    EXPECT_EQ(t.ForegroundAt(2, 2), Stored(0xFFFFFF));
    // Any byte that reaches line-end handling starts a line: a tab, or a byte that broke a sequence (after
    // the parameters it wrote out, which the line feed that breaks the sequence again writes once more).
    StampedTerminal u(L"HH>");
    u.Receive("\t\n\x1b[5 \n");
    EXPECT_EQ(u.Text(), L"17>\t|517>5||");
}

TEST(TimeStamps, AnimationAdvancesPerLineAndWrapsAfterTheLastCharacter) {
    StampedTerminal t(L"ani ");
    std::string lines;
    for (int i = 0; i < 11; ++i)
        lines += "x\n";
    t.Receive(lines);
    const wchar_t* expected = C_TimeStamps::kDefaultAnimationChars;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(t.Line(uint32_t(i))[0], expected[i]) << "line " << i;
    EXPECT_EQ(t.Line(10)[0], expected[0]);
}

TEST(TimeStamps, PowerlineArrowReplacesTheClosingMarkInTheStampsBlueOnTheLineBackground) {
    StampedTerminal t(L"dd.MM.yyyy HH:mm:ss:iii>", true);
    t.Receive("\x1b[44mtext\n");
    std::wstring line = t.Line(0);
    EXPECT_EQ(line, std::wstring(L"06.12.2026 17:04:09:042") + kArrow + L"text");
    uint32_t arrow = uint32_t(line.find(kArrow));
    EXPECT_EQ(t.ForegroundAt(0, arrow), Stored(0x1F4291));
    EXPECT_EQ(t.BackgroundAt(0, arrow), Stored(0x0037DA));
    EXPECT_EQ(t.BackgroundAt(0, arrow + 1), Stored(0x0037DA));
    // Whatever the picture ends with, the arrow follows; only a closing '>' gives way to it.
    StampedTerminal u(L"yyyy.MM.dd HH:mm:ss;", true);
    u.Receive("x\n");
    EXPECT_EQ(u.Line(0), std::wstring(L"2026.12.06 17:04:09;") + kArrow + L"x");
    // Without the glyphs the stamp keeps its '>' and no arrow follows.
    StampedTerminal v(L"HH:mm>", false);
    v.Receive("x\n");
    EXPECT_EQ(v.Line(0), L"17:04>x");
}

TEST(TimeStamps, WithAFilterTheStampTravelsWithItsLineAndHasNoArrow) {
    StampedTerminal t(L"HH:mm:ss ani>", true);
    ContainsFilter filter;
    filter.needle = L"keep";
    t.store.SetFilter(&filter);
    t.store.SetFilterActive(true);
    t.Receive("keep caf\xc3\xa9\ndrop\n");
    // The stamp is part of the line the filter tests, is not turned into bytes by the line's decoding,
    // and the line's own UTF-8 is still decoded.
    ASSERT_GE(filter.tested.size(), 2u);
    EXPECT_EQ(filter.tested[0], L"17:04:09 \u280b>keep caf\u00e9\n");
    EXPECT_EQ(t.Line(0), L"17:04:09 \u280b>keep caf\u00e9");
    EXPECT_EQ(t.Line(1), L"17:04:09 \u2819>drop");
    EXPECT_EQ(t.Segments().size(), 2u); // one visible line and the open segment
}

TEST(TimeStamps, StampColoursReachTheHtmlExport) {
    StampedTerminal t(L"HH>", true);
    t.Receive("\x1b[32mok\n");
    struct Sink final : C_ByteSink {
        bool Write(const void* data, uint32_t size) override {
            bytes.append(static_cast<const char*>(data), size);
            return true;
        }
        std::string bytes;
    } sink;
    ASSERT_TRUE(StoreExport::Write(t.store, true, CP_UTF8, sink));
    EXPECT_NE(sink.bytes.find("<span style=\"color: #F8F8F8; background-color: #184090\">17</span>"
                              "<span style=\"color: #184090; background-color: #001020\">&#xE0B0;</span>"
                              "<span style=\"color: #10A008; background-color: #001020\">ok"),
              std::string::npos)
        << sink.bytes;
}

TEST(TimeStamps, NoPictureNoStamp) {
    StampedTerminal t(L"");
    t.Receive("plain\n");
    EXPECT_EQ(t.Line(0), L"plain");
}
