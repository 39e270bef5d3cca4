#include "foundation/settings/Options.h"

#include "SettingsTestKey.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// An in-memory store that records every access in order, as "read Name" or "write Name=value".
class RecordingStore : public C_SettingsStore {
public:
    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const override {
        log.push_back(L"read " + Key(name, section));
        auto found = numbers.find(Key(name, section));
        return found == numbers.end() ? defaultValue : found->second;
    }
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) override {
        log.push_back(L"write " + Key(name, section) + L"=" + std::to_wstring(value));
        numbers[Key(name, section)] = value;
        return !failWrites;
    }
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                    const wchar_t* section = nullptr) const override {
        log.push_back(L"read " + Key(name, section));
        auto found = strings.find(Key(name, section));
        // Like the registry backend, a read may use dest before deciding it has nothing to give.
        dest.Assign(L"scribbled over");
        dest.Assign(found == strings.end() ? (defaultText ? defaultText : L"") : found->second.c_str());
        return found != strings.end();
    }
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) override {
        log.push_back(L"write " + Key(name, section) + L"=" + text);
        strings[Key(name, section)] = text;
        return !failWrites;
    }

    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const std::wstring& entry : log) {
            size_t start = entry.find(L' ') + 1;
            names.push_back(entry.substr(0, start) + entry.substr(start, entry.find(L'=') - start));
        }
        return names;
    }

    static std::wstring Key(const wchar_t* name, const wchar_t* section) {
        return section ? std::wstring(section) + L"\\" + name : std::wstring(name);
    }

    mutable std::vector<std::wstring> log;
    std::map<std::wstring, uint64_t> numbers;
    std::map<std::wstring, std::wstring> strings;
    bool failWrites = false;
};

struct FontList {
    std::vector<std::wstring> installed;
    std::vector<std::wstring> asked;
    static bool Query(void* context, const wchar_t* face) {
        FontList* list = static_cast<FontList*>(context);
        list->asked.push_back(face);
        for (const std::wstring& name : list->installed) {
            if (name == face)
                return true;
        }
        return false;
    }
};

std::wstring Str(const C_String& text) {
    return std::wstring(text.c_str(), text.GetLength());
}

} // namespace

TEST(PersistedOptions, AnEmptyStoreGivesTheDefaults) {
    RecordingStore store;
    FontList fonts{{L"Consolas", L"Lucida Console"}, {}};
    C_PersistedOptions options;
    options.ChooseDefaultFont(FontList::Query, &fonts);
    options.Read(store);
    EXPECT_EQ(options.baudRate, 115200u);
    EXPECT_EQ(options.parity, 0u);
    EXPECT_EQ(options.stopBits, 0u);
    EXPECT_EQ(options.dataBits, 8u);
    EXPECT_EQ(options.flowControl, FLOW_NONE);
    EXPECT_EQ(options.fontSize, 200u);
    EXPECT_EQ(options.flags, FLAG_AUTO_UPDATE | FLAG_TEXT_FILES_UTF8);
    EXPECT_EQ(options.charSendDelay, 0u);
    EXPECT_EQ(options.hexJournalSize, 16u);
    EXPECT_EQ(Str(options.fontName), L"Lucida Console");
    EXPECT_EQ(Str(options.serialPort), L"");
    EXPECT_EQ(Str(options.filter), L"");
    EXPECT_EQ(Str(options.timeFormat), L"");
    EXPECT_EQ(Str(options.powerLine), L"\xE0B0");
    EXPECT_EQ(Str(options.animationChars), L"\x280B\x2819\x2839\x2838\x283C\x2834\x2826\x2827\x2807\x280F");
    EXPECT_EQ(int(options.enterSends), int(EnterSends::Cr));
    EXPECT_EQ(options.lineDelay, 0u);
    EXPECT_FALSE(options.sendHex);
}

std::vector<std::wstring> TableNames(const wchar_t* verb) {
    std::vector<std::wstring> names;
    for (const OptionRows::Row& row : OptionRows::Table())
        names.push_back(std::wstring(verb) + L" " + row.name);
    return names;
}

TEST(PersistedOptions, ReadsAndWritesEveryRowOfTheTableInItsOrder) {
    RecordingStore store;
    C_PersistedOptions options;
    options.Read(store);
    EXPECT_EQ(store.Names(), TableNames(L"read"));

    store.log.clear();
    EXPECT_TRUE(options.Write(store));
    EXPECT_EQ(store.Names(), TableNames(L"write"));

    // A failing store still gets every value offered, and the failure is reported.
    store.log.clear();
    store.failWrites = true;
    EXPECT_FALSE(options.Write(store));
    EXPECT_EQ(store.Names(), TableNames(L"write"));
}

// Each row set to a value other than its default, within its bounds, comes back as it was written.
TEST(PersistedOptions, EveryRowComesBackAsItWasWritten) {
    C_PersistedOptions written;
    for (const OptionRows::Row& row : OptionRows::Table()) {
        if (row.kind == OptionRows::Kind::Text)
            (written.*row.text).Assign((std::wstring(L"text of ") + row.name).c_str());
        else if (row.kind == OptionRows::Kind::Choice)
            row.set(written, (row.defaultNumber + 1) % row.high);
        else
            row.set(written, row.defaultNumber == row.high ? row.low : row.high);
    }
    RecordingStore store;
    written.Write(store);
    C_PersistedOptions read;
    read.Read(store);
    for (const OptionRows::Row& row : OptionRows::Table()) {
        if (row.kind == OptionRows::Kind::Text) {
            EXPECT_EQ(Str(read.*row.text), Str(written.*row.text)) << row.name;
        } else {
            EXPECT_EQ(row.get(read), row.get(written)) << row.name;
            EXPECT_NE(row.get(read), row.defaultNumber) << row.name << " was not changed by the test";
        }
    }
}

// Two programs on one settings key: each writes only what its own user changed, so neither undoes the other.
TEST(PersistedOptions, WriteChangedWritesOnlyWhatChangedSinceItWasReadOrWritten) {
    RecordingStore store;
    store.numbers[L"BaudRate"] = 57600;
    C_PersistedOptions first, second;
    first.Read(store);
    second.Read(store);
    store.log.clear();
    EXPECT_TRUE(first.WriteChanged(store));
    EXPECT_TRUE(store.log.empty()) << "nothing changed";

    first.baudRate = 9600;
    EXPECT_TRUE(first.WriteChanged(store));
    second.filter.Assign(L"error");
    second.WriteChanged(store);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"write BaudRate", L"write Filter"}));
    EXPECT_EQ(store.numbers[L"BaudRate"], 9600u) << "the second program did not undo the first's change";

    // A write that failed is tried again; once it went through, it is not repeated.
    store.log.clear();
    store.failWrites = true;
    first.timeFormat.Assign(L"HH:mm");
    EXPECT_FALSE(first.WriteChanged(store));
    store.failWrites = false;
    EXPECT_TRUE(first.WriteChanged(store));
    EXPECT_TRUE(first.WriteChanged(store));
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"write TimeFormat", L"write TimeFormat"}));

    // What the command line gave is remembered like a choice in the window.
    C_PersistedOptions started;
    started.Read(store, L"COM9", 19200);
    store.log.clear();
    started.WriteChanged(store);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"write BaudRate", L"write SerialPort"}));
}

TEST(PersistedOptions, OnlyTheLowSixteenFlagBitsAreStoredOrRestored) {
    RecordingStore store;
    C_PersistedOptions options;
    options.flags = FLAG_AUTO_UPDATE | FLAG_BOLD | 0x8000 | FLAG_LOGGING | 0x80000000u;
    options.Write(store);
    EXPECT_EQ(store.numbers[L"Flags"], 0x8003u) << "logging at exit is not stored";

    // A value with high bits written by another tool does not switch logging on at start.
    store.numbers[L"Flags"] = FLAG_LOGGING | FLAG_BOLD;
    options.Read(store);
    EXPECT_EQ(options.flags, FLAG_BOLD);
    EXPECT_EQ(options.flags & FLAG_AUTO_UPDATE, 0u) << "a stored 0 bit stays 0";
}

// Text files are UTF-8 for a new installation; Flags stored before the choice existed lack the bit, so those keep the
// ANSI code page until the user changes it; the choice is stored with the other bits.
TEST(PersistedOptions, TextFilesAreUtf8WhenNoFlagsAreStoredAndKeepTheCodePageForFlagsFromBefore) {
    struct Case {
        const char* name;
        bool stored;
        uint64_t flags;
        bool utf8;
    } cases[] = {
        {"new installation", false, 0, true},
        {"settings from before the choice", true, FLAG_AUTO_UPDATE, false},
        {"chosen", true, FLAG_TEXT_FILES_UTF8, true},
    };
    for (const Case& c : cases) {
        RecordingStore store;
        if (c.stored)
            store.numbers[L"Flags"] = c.flags;
        C_PersistedOptions options;
        options.Read(store);
        EXPECT_EQ((options.flags & FLAG_TEXT_FILES_UTF8) != 0, c.utf8) << c.name;
        options.Write(store);
        EXPECT_EQ((store.numbers[L"Flags"] & FLAG_TEXT_FILES_UTF8) != 0, c.utf8) << c.name;
    }
}

TEST(PersistedOptions, TheHexJournalSizeStaysWithinWhatTheProcessCanHold) {
    const struct {
        uint64_t stored;
        uint32_t read;
    } cases[] = {
        {1, 1}, {64, 64}, {0, 16}, {257, 256}, {0x100000040ull, 64}}; // the low 32 bits, as for every 32-bit member
    for (const auto& c : cases) {
        RecordingStore store;
        store.numbers[L"HexJournalSize"] = c.stored;
        C_PersistedOptions options;
        options.Read(store);
        EXPECT_EQ(options.hexJournalSize, c.read) << c.stored;
    }
}

TEST(PersistedOptions, NumbersKeepTheLowBitsOfTheirMembers) {
    RecordingStore store;
    store.numbers[L"BaudRate"] = 0x100002580ull;
    store.numbers[L"FontSize"] = 0xFFFFFFFF00000118ull;
    store.numbers[L"Parity"] = 0x103;
    store.numbers[L"StopBits"] = 0x201;
    store.numbers[L"DataBits"] = 0x107;
    store.numbers[L"FlowControl"] = 0x203;
    store.numbers[L"CharSendDelay"] = 250;
    C_PersistedOptions options;
    options.Read(store);
    EXPECT_EQ(options.baudRate, 9600u);
    EXPECT_EQ(options.fontSize, 280u);
    EXPECT_EQ(options.parity, 3u) << "a parity the dialog does not offer is kept";
    EXPECT_EQ(options.stopBits, 1u);
    EXPECT_EQ(options.dataBits, 7u);
    EXPECT_EQ(options.flowControl, FLOW_XON_XOFF);
    EXPECT_EQ(options.charSendDelay, 250u);
}

TEST(PersistedOptions, WhatEnterSendsSurvivesAndAnUnknownValueSendsCr) {
    const struct {
        uint64_t stored;
        EnterSends read;
        const wchar_t* text;
    } cases[] = {{0, EnterSends::Cr, L"\r"},
                 {1, EnterSends::Lf, L"\n"},
                 {2, EnterSends::CrLf, L"\r\n"},
                 {3, EnterSends::Cr, L"\r"},
                 {0x100000001ull, EnterSends::Cr, L"\r"}};
    for (const auto& c : cases) {
        RecordingStore store;
        store.numbers[L"EnterSends"] = c.stored;
        C_PersistedOptions options;
        options.Read(store);
        EXPECT_EQ(int(options.enterSends), int(c.read)) << c.stored;
        EXPECT_STREQ(LineEndText(options.enterSends), c.text);
    }
}

TEST(PersistedOptions, CommandLinePortAndBaudRateOverrideTheStoredOnes) {
    RecordingStore store;
    store.numbers[L"BaudRate"] = 57600;
    store.strings[L"SerialPort"] = L"COM3";

    C_PersistedOptions plain;
    plain.Read(store, L"", 0);
    EXPECT_EQ(plain.baudRate, 57600u);
    EXPECT_EQ(Str(plain.serialPort), L"COM3");
    EXPECT_EQ(Str(plain.lastSelectedPort), L"COM3");

    store.log.clear();
    C_PersistedOptions overridden;
    overridden.Read(store, L"COM7", 9600);
    EXPECT_EQ(overridden.baudRate, 9600u);
    EXPECT_EQ(Str(overridden.serialPort), L"COM7");
    EXPECT_EQ(Str(overridden.lastSelectedPort), L"COM7");
    for (const std::wstring& entry : store.Names())
        EXPECT_NE(entry, L"read SerialPort") << "the stored port is not read when one was given";

    // Both are saved on exit like any chosen value.
    overridden.Write(store);
    EXPECT_EQ(store.numbers[L"BaudRate"], 9600u);
    EXPECT_EQ(store.strings[L"SerialPort"], L"COM7");
}

TEST(PersistedOptions, TheDefaultFontIsTheFirstInstalledCandidate) {
    FontList fonts{{L"Consolas", L"Lucida Console for Powerline"}, {}};
    C_PersistedOptions options;
    options.ChooseDefaultFont(FontList::Query, &fonts);
    EXPECT_EQ(Str(options.fontName), L"Lucida Console for Powerline");
    EXPECT_EQ(fonts.asked, (std::vector<std::wstring>{L"Cascadia Code PL Regular", L"Cascadia Code Regular",
                                                      L"Lucida Console for Powerline"}));

    // None installed: empty, unless the store holds a name, which is used even though it is not installed.
    FontList none;
    C_PersistedOptions bare;
    bare.ChooseDefaultFont(FontList::Query, &none);
    EXPECT_EQ(Str(bare.fontName), L"");
    EXPECT_EQ(none.asked.size(), 5u);
    RecordingStore store;
    bare.Read(store);
    EXPECT_EQ(Str(bare.fontName), L"");
    store.strings[L"FontName"] = L"Some Font Not Here";
    options.Read(store);
    EXPECT_EQ(Str(options.fontName), L"Some Font Not Here");
    options.Write(store);
    EXPECT_EQ(store.strings[L"FontName"], L"Some Font Not Here");
}

TEST(PersistedOptions, FontCandidateListsSplitAtSemicolonsAndFirstAlsoAtComma) {
    FontList fonts{{L"B", L"C,D", L"D"}, {}};
    C_String chosen;
    EXPECT_TRUE(ChooseFirstInstalledFont(L"A,B;C", FontList::Query, &fonts, chosen));
    EXPECT_EQ(Str(chosen), L"B");
    fonts.asked.clear();
    EXPECT_TRUE(ChooseFirstInstalledFont(L";;X;C,D;D", FontList::Query, &fonts, chosen));
    EXPECT_EQ(Str(chosen), L"C,D") << "only the first name ends at a comma";
    EXPECT_EQ(fonts.asked, (std::vector<std::wstring>{L"X", L"C,D"}));
    EXPECT_FALSE(ChooseFirstInstalledFont(L"", FontList::Query, &fonts, chosen));
    EXPECT_EQ(Str(chosen), L"");
}

// The fonts the project installs (fonts-dejavu-core) are what Wine enumerates; on Windows the same holds for
// any font that is present.
TEST(PersistedOptions, TheSystemFontQueryFindsInstalledFamiliesOnly) {
    EXPECT_TRUE(IsFontFamilyInstalled(nullptr, L"DejaVu Sans Mono"));
    EXPECT_FALSE(IsFontFamilyInstalled(nullptr, L"Velto No Such Font Family"));
    EXPECT_FALSE(IsFontFamilyInstalled(nullptr, L""));
    // Longer than a face name can be: cut to fit, not written past the field.
    EXPECT_FALSE(IsFontFamilyInstalled(nullptr, std::wstring(300, L'D').c_str()));
}

TEST(PersistedOptions, StoredTextsAreUsedAsTheyAre) {
    RecordingStore store;
    store.strings[L"TimeFormat"] = L"dd.MM.yyyy HH:mm:ss ani>";
    store.strings[L"PowerLine"] = L"";
    store.strings[L"AnimationChars"] = L"|/-\\";
    store.strings[L"Filter"] = L" error,-timeout";
    C_PersistedOptions options;
    options.Read(store);
    EXPECT_EQ(Str(options.timeFormat), L"dd.MM.yyyy HH:mm:ss ani>");
    EXPECT_EQ(Str(options.powerLine), L"") << "an empty stored text is not replaced by the default";
    EXPECT_EQ(Str(options.animationChars), L"|/-\\");
    EXPECT_EQ(Str(options.filter), L" error,-timeout");
}

// A stored filter longer than anyone can type (a hand-edited 1 MiB value held up the start for minutes) is cut to
// the filter field's limit; one that fits is kept whole.
TEST(PersistedOptions, AStoredFilterIsCutToTheFieldsLimit) {
    std::wstring huge;
    while (huge.size() < 1048576)
        huge += L"abc,";
    const std::wstring fits(C_PersistedOptions::kFilterLimit, L'f');
    for (const std::wstring& stored : {huge, fits}) {
        RecordingStore store;
        store.strings[L"Filter"] = stored;
        C_PersistedOptions options;
        options.Read(store);
        EXPECT_EQ(Str(options.filter), stored.substr(0, C_PersistedOptions::kFilterLimit));
    }
}

// The whole cycle against the registry, as the program runs it, below a test key instead of the program's.
TEST(PersistedOptions, RegistryCycleKeepsForeignValuesAndRewritesNumbersAsQwords) {
    SettingsTestKey key;
    C_Settings settings;
    ASSERT_EQ(settings.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1);
    FontList fonts{{L"Consolas"}, {}};

    C_PersistedOptions first;
    first.ChooseDefaultFont(FontList::Query, &fonts);
    first.Read(settings);
    EXPECT_EQ(first.baudRate, 115200u);
    EXPECT_EQ(Str(first.fontName), L"Consolas");

    DWORD baud = 19200;
    ASSERT_TRUE(key.SetRaw(L"BaudRate", REG_DWORD, &baud, sizeof baud));
    const wchar_t font[] = L"Not Installed Mono";
    ASSERT_TRUE(key.SetRaw(L"FontName", REG_SZ, font, sizeof font));
    C_PersistedOptions second;
    second.ChooseDefaultFont(FontList::Query, &fonts);
    second.Read(settings);
    EXPECT_EQ(second.baudRate, 19200u);
    EXPECT_EQ(Str(second.fontName), L"Not Installed Mono");
    second.flags |= FLAG_LOGGING;
    second.filter.Assign(L"error,-timeout");
    ASSERT_TRUE(second.Write(settings));

    EXPECT_EQ(key.RawTypeAndSize(L"BaudRate"), std::make_pair(DWORD(REG_QWORD), DWORD(8)));
    EXPECT_EQ(key.RawTypeAndSize(L"Parity").first, DWORD(REG_QWORD));
    EXPECT_EQ(key.RawTypeAndSize(L"FontName").first, DWORD(REG_SZ));
    C_PersistedOptions third;
    third.Read(settings);
    EXPECT_EQ(third.baudRate, 19200u);
    EXPECT_EQ(Str(third.fontName), L"Not Installed Mono");
    EXPECT_EQ(third.flags, C_PersistedOptions::kDefaultFlags) << "logging was on at exit, off at the next start";
    EXPECT_EQ(Str(third.filter), L"error,-timeout");
    EXPECT_EQ(Str(third.powerLine), L"\xE0B0");
}
