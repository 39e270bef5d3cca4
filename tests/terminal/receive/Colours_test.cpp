// Select graphic rendition, the palette, the reset command and how colours are stored.
#include "terminal/TerminalHarness.h"

#include "terminal/receive/Palette.h"

#include <gtest/gtest.h>

namespace {

struct CellColours {
    Rgb foreground;
    Rgb background;
};

// The colours of the character 'x' after the given sequences.
CellColours ColoursAfter(const std::string& sequences) {
    TerminalHarness t;
    t.Receive(sequences + "x");
    return {t.ForegroundAt(0, 0), t.BackgroundAt(0, 0)};
}

void ExpectColours(const std::string& sequences, Rgb foreground, Rgb background) {
    CellColours c = ColoursAfter(sequences);
    EXPECT_EQ(c.foreground, Stored(foreground)) << "after " << sequences.substr(1);
    EXPECT_EQ(c.background, Stored(background)) << "after " << sequences.substr(1);
}

constexpr Rgb kFg = Colour::kDefaultForeground;
constexpr Rgb kBg = Colour::kDefaultBackground;

} // namespace

TEST(Colours, ResetFormsGiveTheDefaults) {
    ExpectColours("\x1b[m", kFg, kBg);
    ExpectColours("\x1b[0m", kFg, kBg);
    ExpectColours("\x1b[31m\x1b[m", kFg, kBg);
}

TEST(Colours, EverySequenceStartsFromTheDefaults) {
    ExpectColours("\x1b[31m\x1b[1m", 0x3B78FF, kBg); // not bright red
    ExpectColours("\x1b[1;31m", 0xE74856, kBg);
    ExpectColours("\x1b[44m\x1b[32m", 0x13A10E, kBg);
}

TEST(Colours, BrightAndFaintAndInverse) {
    ExpectColours("\x1b[1;0;31m", 0xE7132C, kBg); // 0 ends bright only
    ExpectColours("\x1b[31;0m", 0xE7132C, kBg);   // and keeps what was set
    ExpectColours("\x1b[2m", 0x2472C8, kBg);
    ExpectColours("\x1b[1;2;31m", 0xE7132C, kBg);
    ExpectColours("\x1b[7m", kBg, kFg);
    ExpectColours("\x1b[31;44;7m", 0x0037DA, 0xE7132C);
    ExpectColours("\x1b[1;45m", 0x3B78FF, 0xB4009E);
}

TEST(Colours, DirectColourAndItsFailures) {
    ExpectColours("\x1b[38;2;1;2;3m", 0x010203, kBg);
    ExpectColours("\x1b[48;2;255;128;0m", kFg, 0xFF8000);
    ExpectColours("\x1b[38;2;257;258;511m", 0x0102FF, kBg); // components modulo 256
    ExpectColours("\x1b[38;5;208m", kFg, kBg);              // 256-colour form stops at the 5
    ExpectColours("\x1b[31;38;5;208m", 0xE7132C, kBg);      // what came before still applies
    ExpectColours("\x1b[38;2;1;2m", kFg, kBg);              // a component missing
    ExpectColours("\x1b[38;2;1;2;3;44m", 0x010203, 0x0037DA);
}

TEST(Colours, ListStopsAtFirstEmptyOrNonNumericPiece) {
    ExpectColours("\x1b[;31m", kFg, kBg);
    ExpectColours("\x1b[31;;44m", 0xE7132C, kBg);
    ExpectColours("\x1b[31;?;44m", 0xE7132C, kBg);
    ExpectColours("\x1b[99;32m", 0x13A10E, kBg); // unknown numbers are ignored
}

TEST(Colours, PaletteCoversBothRangesAndFallsBackToDefault) {
    EXPECT_EQ(PaletteColour(30, false), 0x001023u);
    EXPECT_EQ(PaletteColour(30, true), 0x818383u);
    EXPECT_EQ(PaletteColour(41, false), 0xC50F1Fu);
    EXPECT_EQ(PaletteColour(45, true), 0xB4009Eu);
    EXPECT_EQ(PaletteColour(37, true), 0xF2F2F2u);
    EXPECT_EQ(PaletteColour(38, false), kFg);
    EXPECT_EQ(PaletteColour(0, true), kFg);
}

TEST(Colours, PackedToFifteenBitsWithLinkFlagApart) {
    EXPECT_EQ(Stored(0xD8E3EA), 0xD8E0E8u);
    EXPECT_EQ(Stored(0x001023), 0x001020u);
    Attribute a = Colour::MakeAttribute(0xFFFFFF, 0x000000) | Colour::kAttributeLinkFlag;
    EXPECT_EQ(Colour::ForegroundOf(a), 0xF8F8F8u);
    EXPECT_EQ(Colour::BackgroundOf(a), 0u);
    EXPECT_TRUE(Colour::IsLink(a));
}

TEST(Colours, TextBeforeAColourChangeKeepsItsColour) {
    TerminalHarness t;
    t.Receive("a\x1b[31mb\x1b]104\x07"
              "c");
    EXPECT_EQ(t.ForegroundAt(0, 0), Stored(kFg));
    EXPECT_EQ(t.ForegroundAt(0, 1), Stored(0xE7132C));
    EXPECT_EQ(t.ForegroundAt(0, 2), Stored(kFg));
}

TEST(Colours, NewLinesTakeTheCurrentColours) {
    TerminalHarness t;
    t.Receive("\x1b[44ma\n");
    Rgb fg, bg;
    t.store.GetColours(fg, bg);
    EXPECT_EQ(bg, Stored(0x0037DA));
    EXPECT_EQ(t.BackgroundAt(1, 0), Stored(0x0037DA)); // the end marker of the new line
}
