// The names a board was listed under, and its taking over of what was stored under its COM name.
#include "connection/discovery/BoardNames.h"

#include "connection/discovery/Tags.h"
#include "foundation/settings/LineSettings.h"
#include "foundation/settings/Settings.h"
#include "foundation/settings/SettingsTestKey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const wchar_t* kBoard = L"USB\\VID_0403&PID_6001\\A50285BI";
constexpr const wchar_t* kOtherBoard = L"USB\\VID_0483&PID_5740\\207D3592";

class BoardNamesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(store.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1); }

    // What a listing answers, checked against what a reader that writes nothing answers afterwards.
    std::wstring Listed(const wchar_t* identity, const wchar_t* devicePath) {
        C_String former, told;
        EXPECT_TRUE(BoardNames::NoteListed(store, identity, devicePath, former));
        BoardNames::Former(store, identity, devicePath, told);
        EXPECT_STREQ(told.c_str(), former.c_str());
        return former.c_str();
    }
    std::wstring ValuesKey(const wchar_t* identity, const wchar_t* devicePath) {
        C_String found;
        EXPECT_TRUE(BoardNames::ValuesKey(store, identity, devicePath, found));
        return found.c_str();
    }
    std::wstring Tag(const wchar_t* portKey) {
        C_String tag;
        Tags::LoadTag(store, portKey, tag);
        return tag.c_str();
    }

    SettingsTestKey key;
    C_Settings store;
};

TEST_F(BoardNamesTest, ABoardThatMovesIsToldWhereItWasUntilItMovesAgain) {
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM5"), L"") << "first seen";
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM5"), L"");
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM9"), L"COM5");
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM9"), L"COM5") << "a later refresh, or the next start";
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\com5"), L"COM9") << "and back: COM names ignore case";
    C_String former;
    BoardNames::Former(store, kOtherBoard, L"\\\\.\\COM7", former);
    EXPECT_STREQ(former.c_str(), L"") << "a board never listed";
}

TEST_F(BoardNamesTest, TheFirstBoardListedUnderAComNameTakesOverItsValuesOnce) {
    Tags::SaveTag(store, L"\\\\.\\COM5", L"Target console");
    SerialLineSettings line;
    line.baudRate = 9600;
    PortSettings::SaveLine(store, L"\\\\.\\COM5", line);
    PortSettings::SaveLinesAtOpen(store, L"\\\\.\\COM5", LINE_DTR, 0);
    PortSettings::SaveColour(store, L"\\\\.\\COM5", 0x3366CC);
    Tags::SaveTag(store, L"\\\\.\\COM6", L"Modem");
    EXPECT_EQ(ValuesKey(kBoard, L"\\\\.\\COM5"), L"\\\\.\\COM5") << "a reader finds them where they are";

    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM5"), L"");
    EXPECT_EQ(ValuesKey(kBoard, L"\\\\.\\COM5"), kBoard);
    EXPECT_EQ(Tag(kBoard), L"Target console");
    SerialLineSettings own;
    EXPECT_TRUE(PortSettings::Load(store, kBoard, own));
    EXPECT_EQ(own.baudRate, 9600u);
    EXPECT_EQ(own.linesAtOpen, LINE_RTS);
    uint32_t colour = 0;
    EXPECT_TRUE(PortSettings::LoadColour(store, kBoard, colour));
    EXPECT_EQ(colour, 0x3366CCu);
    EXPECT_EQ(Tag(L"\\\\.\\COM5"), L"Target console") << "kept for an older Velto";

    // The board moves on; another one gets COM5, and a third the tagged COM6 without any line settings.
    EXPECT_EQ(Listed(kBoard, L"\\\\.\\COM9"), L"COM5");
    EXPECT_EQ(ValuesKey(kOtherBoard, L"\\\\.\\COM5"), kOtherBoard);
    EXPECT_EQ(ValuesKey(kOtherBoard, L"\\\\.\\COM7"), kOtherBoard) << "COM7 holds nothing to take over";
    EXPECT_EQ(Listed(kOtherBoard, L"\\\\.\\COM5"), L"");
    EXPECT_EQ(Tag(kOtherBoard), L"") << "COM5's values went to the first board only";
    EXPECT_FALSE(PortSettings::Load(store, kOtherBoard, own));
    EXPECT_EQ(Listed(L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#USB(2)", L"\\\\.\\COM6"), L"");
    EXPECT_EQ(Tag(L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#USB(2)"), L"Modem");
}

TEST_F(BoardNamesTest, AStoredColourBeyondRgbIsNone) {
    C_String section;
    PortSettings::SectionOf(kBoard, section);
    store.WriteNumber(PortSettings::kColourValue, 0x1000000, section.c_str());
    uint32_t colour = 7;
    EXPECT_FALSE(PortSettings::LoadColour(store, kBoard, colour));
    EXPECT_EQ(colour, 7u);
}

} // namespace
