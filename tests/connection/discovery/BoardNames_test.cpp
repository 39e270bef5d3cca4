// The names a board was listed under, and its taking over of what was stored under its COM name.
#include "connection/discovery/BoardNames.h"

#include "connection/discovery/Tags.h"
#include "foundation/settings/LineSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

constexpr const wchar_t* kBoard = L"USB\\VID_0403&PID_6001\\A50285BI";
constexpr const wchar_t* kOtherBoard = L"USB\\VID_0483&PID_5740\\207D3592";
constexpr const wchar_t* kBoardSection = L"Ports\\USB/VID_0403&PID_6001/A50285BI";

// Numbers and texts by "section\name", as the registry backend keeps them.
class MemoryStore final : public C_SettingsStore {
public:
    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section) const override {
        auto found = numbers.find(Key(name, section));
        return found == numbers.end() ? defaultValue : found->second;
    }
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section) override {
        numbers[Key(name, section)] = value;
        return true;
    }
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText,
                    const wchar_t* section) const override {
        auto found = texts.find(Key(name, section));
        dest.Assign(found == texts.end() ? (defaultText ? defaultText : L"") : found->second.c_str());
        return found != texts.end();
    }
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section) override {
        texts[Key(name, section)] = text;
        return true;
    }
    static std::wstring Key(const wchar_t* name, const wchar_t* section) {
        return std::wstring(section ? section : L"") + L"\\" + name;
    }
    std::map<std::wstring, uint64_t> numbers;
    std::map<std::wstring, std::wstring> texts;
};

std::wstring Listed(MemoryStore& store, const wchar_t* identity, const wchar_t* devicePath) {
    C_String former;
    EXPECT_TRUE(BoardNames::NoteListed(store, identity, devicePath, former));
    C_String told;
    BoardNames::Former(store, identity, devicePath, told);
    EXPECT_STREQ(told.c_str(), former.c_str()) << "the reader's answer is the recorder's, once recorded";
    return former.c_str();
}

std::wstring ValuesKey(MemoryStore& store, const wchar_t* identity, const wchar_t* devicePath) {
    C_String key;
    EXPECT_TRUE(BoardNames::ValuesKey(store, identity, devicePath, key));
    return key.c_str();
}

TEST(BoardNames, ABoardThatMovesIsToldWhereItWasUntilItMovesAgain) {
    MemoryStore store;
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM5"), L"") << "first seen";
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM5"), L"");
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM9"), L"COM5");
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM9"), L"COM5") << "a later refresh, or the next start";
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\com5"), L"COM9") << "and back: COM numbers ignore case";
    EXPECT_EQ(store.texts[std::wstring(kBoardSection) + L"\\PortName"], L"com5");
    EXPECT_EQ(store.texts[std::wstring(kBoardSection) + L"\\FormerPortName"], L"COM9");

    C_String told;
    BoardNames::Former(store, kOtherBoard, L"\\\\.\\COM7", told);
    EXPECT_STREQ(told.c_str(), L"") << "a board never recorded";
    EXPECT_EQ(store.texts.count(L"Ports\\USB/VID_0483&PID_5740/207D3592\\PortName"), 0u) << "reading writes nothing";
}

TEST(BoardNames, TheFirstBoardListedUnderAComNameTakesOverItsValuesOnce) {
    MemoryStore store;
    Tags::SaveTag(store, L"\\\\.\\COM5", L"Target console");
    SerialLineSettings line;
    line.baudRate = 9600;
    PortSettings::SaveLine(store, L"\\\\.\\COM5", line);
    PortSettings::SaveLinesAtOpen(store, L"\\\\.\\COM5", LINE_DTR, 0);
    PortSettings::SaveColour(store, L"\\\\.\\COM5", 0x3366CC);
    Tags::SaveTag(store, L"\\\\.\\COM6", L"Modem");
    EXPECT_EQ(ValuesKey(store, kBoard, L"\\\\.\\COM5"), L"\\\\.\\COM5") << "a reader finds them where they are";

    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM5"), L"");
    EXPECT_EQ(ValuesKey(store, kBoard, L"\\\\.\\COM5"), kBoard);

    C_String tag;
    Tags::LoadTag(store, kBoard, tag);
    EXPECT_STREQ(tag.c_str(), L"Target console");
    SerialLineSettings own;
    EXPECT_TRUE(PortSettings::Load(store, kBoard, own));
    EXPECT_EQ(own.baudRate, 9600u);
    EXPECT_EQ(own.linesAtOpen, LINE_RTS);
    uint32_t colour = 0;
    EXPECT_TRUE(PortSettings::LoadColour(store, kBoard, colour));
    EXPECT_EQ(colour, 0x3366CCu);
    Tags::LoadTag(store, L"\\\\.\\COM5", tag);
    EXPECT_STREQ(tag.c_str(), L"Target console") << "kept for an older Velto";
    EXPECT_EQ(store.texts[L"Ports\\COM5\\MovedTo"], kBoard);

    // The board moves on; another one gets COM5, and a third the tagged COM6 without any line settings.
    EXPECT_EQ(Listed(store, kBoard, L"\\\\.\\COM9"), L"COM5");
    EXPECT_EQ(ValuesKey(store, kOtherBoard, L"\\\\.\\COM5"), kOtherBoard);
    EXPECT_EQ(ValuesKey(store, kOtherBoard, L"\\\\.\\COM7"), kOtherBoard) << "COM7 holds nothing to take over";
    EXPECT_EQ(Listed(store, kOtherBoard, L"\\\\.\\COM5"), L"");
    Tags::LoadTag(store, kOtherBoard, tag);
    EXPECT_STREQ(tag.c_str(), L"") << "COM5's values went to the first board only";
    EXPECT_FALSE(PortSettings::Load(store, kOtherBoard, own));
    EXPECT_EQ(Listed(store, L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#USB(2)", L"\\\\.\\COM6"), L"");
    Tags::LoadTag(store, L"USB\\VID_1A86&PID_7523\\@PCIROOT(0)#USB(2)", tag);
    EXPECT_STREQ(tag.c_str(), L"Modem");
}

TEST(BoardNames, AColourIsAnRgbValueAndNothingElse) {
    MemoryStore store;
    uint32_t colour = 7;
    EXPECT_FALSE(PortSettings::LoadColour(store, kBoard, colour));
    store.numbers[std::wstring(kBoardSection) + L"\\Colour"] = 0x1000000;
    EXPECT_FALSE(PortSettings::LoadColour(store, kBoard, colour));
    EXPECT_EQ(colour, 7u);
    ASSERT_TRUE(PortSettings::SaveColour(store, kBoard, 0xFFFFFF));
    EXPECT_TRUE(PortSettings::LoadColour(store, kBoard, colour));
    EXPECT_EQ(colour, 0xFFFFFFu);
}

} // namespace
