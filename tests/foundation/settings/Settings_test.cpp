#include "foundation/settings/Settings.h"

#include "SettingsTestKey.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(settings.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1); }

    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_TRUE(key.SetRaw(name, type, data, size));
    }
    std::pair<DWORD, DWORD> RawTypeAndSize(const wchar_t* name, const wchar_t* section = nullptr) const {
        return key.RawTypeAndSize(name, section);
    }

    std::wstring ReadText(const wchar_t* name, const wchar_t* fallback = L"<default>", bool* found = nullptr) {
        C_String text;
        bool was = settings.ReadString(name, text, fallback);
        if (found)
            *found = was;
        return std::wstring(text.c_str(), text.GetLength());
    }

    SettingsTestKey key;
    C_Settings settings;
};

} // namespace

TEST_F(RegistrySettings, MissingValuesAndKeysGiveTheDefaults) {
    EXPECT_EQ(settings.ReadNumber(L"BaudRate", 115200), 115200u);
    EXPECT_EQ(settings.ReadNumber(L"BaudRate", 7, L"NoSuchSection"), 7u);
    bool found = true;
    EXPECT_EQ(ReadText(L"FontName", L"Consolas", &found), L"Consolas");
    EXPECT_FALSE(found);
    EXPECT_EQ(ReadText(L"FontName", nullptr), L"");

    C_Settings closed; // never opened: reads give defaults, writes fail
    EXPECT_EQ(closed.ReadNumber(L"Flags", 1), 1u);
    EXPECT_FALSE(closed.WriteNumber(L"Flags", 1));
    EXPECT_FALSE(closed.WriteString(L"FontName", L"x"));
}

TEST_F(RegistrySettings, NumbersAreWrittenAsQwordAndReadBackWhole) {
    ASSERT_TRUE(settings.WriteNumber(L"LastCheck", 0x123456789ABCDEF0ull));
    EXPECT_EQ(RawTypeAndSize(L"LastCheck"), std::make_pair(DWORD(REG_QWORD), DWORD(8)));
    EXPECT_EQ(settings.ReadNumber(L"LastCheck", 0), 0x123456789ABCDEF0ull);
    ASSERT_TRUE(settings.WriteNumber(L"LastCheck", ~0ull));
    EXPECT_EQ(settings.ReadNumber(L"LastCheck", 0), ~0ull);

    ASSERT_TRUE(settings.WriteNumber(L"COM3", 5, L"Tags"));
    EXPECT_EQ(RawTypeAndSize(L"COM3", L"Tags").first, DWORD(REG_QWORD));
    EXPECT_EQ(settings.ReadNumber(L"COM3", 0, L"Tags"), 5u);
    EXPECT_EQ(settings.ReadNumber(L"COM3", 99), 99u) << "a section value is not a base value";
}

TEST_F(RegistrySettings, OtherStoredTypesReadAsTheLittleEndianNumberTheySpell) {
    DWORD baud = 9600;
    SetRaw(L"BaudRate", REG_DWORD, &baud, sizeof baud);
    EXPECT_EQ(settings.ReadNumber(L"BaudRate", 115200), 9600u);
    // Written back, the value becomes a QWORD with the same number.
    ASSERT_TRUE(settings.WriteNumber(L"BaudRate", settings.ReadNumber(L"BaudRate", 115200)));
    EXPECT_EQ(RawTypeAndSize(L"BaudRate"), std::make_pair(DWORD(REG_QWORD), DWORD(8)));
    EXPECT_EQ(settings.ReadNumber(L"BaudRate", 115200), 9600u);

    const BYTE three[] = {0x01, 0x02, 0x03};
    SetRaw(L"Short", REG_BINARY, three, sizeof three);
    EXPECT_EQ(settings.ReadNumber(L"Short", 0), 0x030201u);

    const BYTE eight[] = {1, 2, 3, 4, 5, 6, 7, 0x80};
    SetRaw(L"Eight", REG_BINARY, eight, sizeof eight);
    EXPECT_EQ(settings.ReadNumber(L"Eight", 0), 0x8007060504030201ull);

    const BYTE nine[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    SetRaw(L"Nine", REG_BINARY, nine, sizeof nine);
    EXPECT_EQ(settings.ReadNumber(L"Nine", 42), 42u);

    SetRaw(L"Text", REG_SZ, L"A", 4); // 'A', 0: four bytes of any type are a number
    EXPECT_EQ(settings.ReadNumber(L"Text", 0), 0x41u);
    SetRaw(L"LongText", REG_SZ, L"115200", 14);
    EXPECT_EQ(settings.ReadNumber(L"LongText", 3), 3u);

    SetRaw(L"Empty", REG_BINARY, nullptr, 0);
    EXPECT_EQ(settings.ReadNumber(L"Empty", 5), 0u);
}

TEST_F(RegistrySettings, StringsRoundTripAsTerminatedRegSz) {
    ASSERT_TRUE(settings.WriteString(L"FontName", L"Lucida Console"));
    EXPECT_EQ(RawTypeAndSize(L"FontName"), std::make_pair(DWORD(REG_SZ), DWORD(2 * 14 + 2)));
    bool found = false;
    EXPECT_EQ(ReadText(L"FontName", L"x", &found), L"Lucida Console");
    EXPECT_TRUE(found);

    ASSERT_TRUE(settings.WriteString(L"Filter", L""));
    EXPECT_EQ(ReadText(L"Filter", L"x", &found), L"");
    EXPECT_TRUE(found) << "an empty stored text is a value, not a missing one";

    ASSERT_TRUE(settings.WriteString(L"AnimationChars", L"\x280B\x2819\x2839 \xE0B0"));
    EXPECT_EQ(ReadText(L"AnimationChars"), L"\x280B\x2819\x2839 \xE0B0");

    ASSERT_TRUE(settings.WriteString(L"\\\\?\\USB#VID_0403&PID_6001#A1", L"Lab", L"Tags"));
    C_String tag;
    EXPECT_TRUE(settings.ReadString(L"\\\\?\\USB#VID_0403&PID_6001#A1", tag, nullptr, L"Tags"));
    EXPECT_STREQ(tag.c_str(), L"Lab");
}

TEST_F(RegistrySettings, LongStringsAreReadWithTheReportedSize) {
    for (uint32_t length : {259u, 260u, 261u, 5000u, 70000u}) {
        std::wstring text;
        for (uint32_t i = 0; i < length; ++i)
            text += wchar_t(L'a' + i % 26);
        ASSERT_TRUE(settings.WriteString(L"Long", text.c_str()));
        C_String read; // starts with the default capacity
        ASSERT_TRUE(settings.ReadString(L"Long", read));
        EXPECT_EQ(read.GetLength(), length);
        EXPECT_EQ(std::wstring(read.c_str()), text);
    }
}

TEST_F(RegistrySettings, OddStringDataIsTerminatedAndMultiStringsJoined) {
    SetRaw(L"Unterminated", REG_SZ, L"abcdef", 6); // three characters, no terminator
    EXPECT_EQ(ReadText(L"Unterminated"), L"abc");

    SetRaw(L"OddSize", REG_SZ, L"abcdef", 5);
    EXPECT_EQ(ReadText(L"OddSize"), L"ab");

    const wchar_t multi[] = L"one\0two\0three\0"; // plus the array's own zero: the final double zero
    SetRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    EXPECT_EQ(ReadText(L"Multi"), L"one\x0001two\x0001three");

    SetRaw(L"Expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    EXPECT_EQ(ReadText(L"Expand"), L"%TEMP%\\x") << "stored text is used as it is";

    DWORD number = 0x00410041;
    SetRaw(L"Number", REG_DWORD, &number, sizeof number);
    bool found = true;
    EXPECT_EQ(ReadText(L"Number", L"<default>", &found), L"<default>");
    EXPECT_FALSE(found) << "a number is not read as text";
}

// --- INI file -------------------------------------------------------------------------------------------

namespace {

class FileSettings : public ::testing::Test {
protected:
    std::wstring ReadText(C_Settings& store, const wchar_t* name, const wchar_t* section = nullptr,
                          bool* found = nullptr) {
        C_String text;
        bool was = store.ReadString(name, text, L"<default>", section);
        if (found)
            *found = was;
        return std::wstring(text.c_str(), text.GetLength());
    }

    TempFolder folder;
};

const wchar_t* const kAwkwardTexts[] = {
    L"",
    L" error, warn ", // blanks belong to filter pieces
    L"\"a,b\"",       // a quoted filter piece
    L"'single'",
    L"\"",
    L"dd.MM.yyyy HH:mm:ss:iii>",
    L"\x280B\x2819\x2839\x2838\x283C\x2834\x2826\x2827\x2807\x280F", // animation characters
    L"\xE0B0",                                                       // powerline arrow
    L"a=b;c [d] #e",
};

} // namespace

TEST_F(FileSettings, IniRoundTripsNumbersAndTextsOutsideTheAnsiCodePage) {
    std::wstring path = folder.Path(L"velto.ini");
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(store.GetBackend(), C_Settings::BACKEND_INI);
    EXPECT_EQ(store.ReadNumber(L"BaudRate", 115200), 115200u);

    ASSERT_TRUE(store.WriteNumber(L"BaudRate", 921600));
    ASSERT_TRUE(store.WriteNumber(L"LastCheck", ~0ull));
    ASSERT_TRUE(store.WriteString(L"COM3", L"Lab", L"Tags"));
    for (size_t i = 0; i < std::size(kAwkwardTexts); ++i) {
        wchar_t name[16];
        _snwprintf(name, 16, L"Text%u", unsigned(i));
        ASSERT_TRUE(store.WriteString(name, kAwkwardTexts[i]));
    }
    ASSERT_TRUE(store.Close());

    // Values without a section live in [Settings]; the file is readable by any INI reader.
    wchar_t raw[64];
    GetPrivateProfileStringW(L"Settings", L"BaudRate", L"", raw, 64, path.c_str());
    EXPECT_STREQ(raw, L"921600");
    GetPrivateProfileStringW(L"Tags", L"COM3", L"", raw, 64, path.c_str());
    EXPECT_STREQ(raw, L"Lab");

    C_Settings again;
    ASSERT_EQ(again.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(again.ReadNumber(L"BaudRate", 0), 921600u);
    EXPECT_EQ(again.ReadNumber(L"LastCheck", 0), ~0ull);
    EXPECT_EQ(ReadText(again, L"COM3", L"Tags"), L"Lab");
    EXPECT_EQ(ReadText(again, L"COM3"), L"<default>");
    for (size_t i = 0; i < std::size(kAwkwardTexts); ++i) {
        wchar_t name[16];
        _snwprintf(name, 16, L"Text%u", unsigned(i));
        bool found = false;
        EXPECT_EQ(ReadText(again, name, nullptr, &found), kAwkwardTexts[i]) << "value " << i;
        EXPECT_TRUE(found);
    }
}

TEST_F(FileSettings, IniRefusesWhatWouldBreakOutOfItsLine) {
    std::wstring path = folder.Path(L"lines.ini");
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    ASSERT_TRUE(store.WriteNumber(L"BaudRate", 9600));
    EXPECT_FALSE(store.WriteString(L"Filter", L"x\r\nBaudRate=1"));
    EXPECT_FALSE(store.WriteString(L"Filter", L"x\n[Tags]"));
    EXPECT_FALSE(store.WriteString(L"Baud=Rate", L"1"));
    EXPECT_FALSE(store.WriteString(L"COM3", L"Lab", L"Tags]\r\n[Settings"));
    EXPECT_TRUE(store.WriteString(L"tcp://host:23", L"Bench", L"Tags"));
    store.Close();
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(store.ReadNumber(L"BaudRate", 0), 9600u);
    EXPECT_EQ(ReadText(store, L"Filter"), L"<default>");
    EXPECT_EQ(ReadText(store, L"tcp://host:23", L"Tags"), L"Bench");
}

TEST_F(FileSettings, IniNumbersThatDoNotParseGiveTheDefault) {
    std::wstring path = folder.Path(L"numbers.ini");
    WriteFileBytes(path, "[Settings]\r\nA=12abc\r\nB=\r\nC= 42 \r\nD=-1\r\nE=18446744073709551616\r\nF=0x10\r\n"
                         "G=18446744073709551615\r\n");
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(store.ReadNumber(L"A", 7), 7u);
    EXPECT_EQ(store.ReadNumber(L"B", 7), 7u);
    EXPECT_EQ(store.ReadNumber(L"C", 7), 42u);
    EXPECT_EQ(store.ReadNumber(L"D", 7), ~0ull) << "as \"%I64u\" reads it";
    EXPECT_EQ(store.ReadNumber(L"E", 7), 7u) << "too large for 64 bits";
    EXPECT_EQ(store.ReadNumber(L"F", 7), 7u);
    EXPECT_EQ(store.ReadNumber(L"G", 7), ~0ull);
    EXPECT_EQ(store.ReadNumber(L"Missing", 7), 7u);
}

TEST_F(FileSettings, IniKeepsAnExistingAnsiFileAndReadsLongValues) {
    std::wstring path = folder.Path(L"ansi.ini");
    std::string longValue(3000, 'x');
    WriteFileBytes(path, "[Settings]\r\nFontName=Consolas\r\nLong=" + longValue + "\r\n");
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI, nullptr, nullptr, path.c_str()), 1);
    EXPECT_EQ(ReadText(store, L"FontName"), L"Consolas");
    EXPECT_EQ(ReadText(store, L"Long"), std::wstring(3000, L'x'));
    ASSERT_TRUE(store.WriteString(L"SerialPort", L"COM7"));
    ASSERT_TRUE(store.Close());
    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.compare(0, 10, "[Settings]"), 0) << "no byte-order mark was put in front";
    EXPECT_NE(bytes.find("SerialPort=COM7"), std::string::npos);
}

TEST_F(FileSettings, FilePathsDefaultToTheExecutablesFolder) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring program = exe;
    std::wstring folderPath = program.substr(0, program.rfind(L'\\') + 1);
    std::wstring stem = program.substr(0, program.rfind(L'.'));

    C_String resolved;
    ASSERT_TRUE(C_Settings::ResolveFilePath(nullptr, L".ini", resolved));
    EXPECT_EQ(std::wstring(resolved.c_str()), stem + L".ini");
    ASSERT_TRUE(C_Settings::ResolveFilePath(L"", L".xml", resolved));
    EXPECT_EQ(std::wstring(resolved.c_str()), stem + L".xml");
    ASSERT_TRUE(C_Settings::ResolveFilePath(L"velto.ini", L".ini", resolved));
    EXPECT_EQ(std::wstring(resolved.c_str()), folderPath + L"velto.ini");
    ASSERT_TRUE(C_Settings::ResolveFilePath(L"C:\\data\\v.ini", L".ini", resolved));
    EXPECT_STREQ(resolved.c_str(), L"C:\\data\\v.ini");
}

// --- XML file -------------------------------------------------------------------------------------------

TEST_F(FileSettings, XmlRoundTripsThroughTheFileAsNestedElements) {
    std::wstring path = folder.Path(L"velto.xml");
    const wchar_t* base = L"Software\\Brannick\\Velto";
    {
        C_Settings store;
        ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, base, path.c_str()), 1);
        EXPECT_EQ(store.ReadNumber(L"BaudRate", 115200), 115200u);
        ASSERT_TRUE(store.WriteNumber(L"BaudRate", 9600));
        ASSERT_TRUE(store.WriteNumber(L"LastCheck", ~0ull));
        ASSERT_TRUE(store.WriteString(L"tcp://10.0.0.1:23", L"Bench", L"Tags"));
        ASSERT_TRUE(store.WriteString(L"COM3", L"Lab", L"Tags"));
        for (size_t i = 0; i < std::size(kAwkwardTexts); ++i) {
            wchar_t name[16];
            _snwprintf(name, 16, L"Text%u", unsigned(i));
            ASSERT_TRUE(store.WriteString(name, kAwkwardTexts[i]));
        }
        EXPECT_EQ(store.ReadNumber(L"BaudRate", 0), 9600u) << "readable before the file is written";
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "written at Close only";
        ASSERT_TRUE(store.Close());
    }
    std::string bytes = ReadFileBytes(path);
    EXPECT_NE(bytes.find("<Settings><Software><Brannick><Velto><BaudRate>9600</BaudRate>"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("<Tags><tcp_x003A_"), std::string::npos) << bytes;

    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, base, path.c_str()), 1);
    EXPECT_EQ(store.ReadNumber(L"BaudRate", 0), 9600u);
    EXPECT_EQ(store.ReadNumber(L"baudrate", 0), 9600u) << "names ignore case, as in the registry";
    EXPECT_EQ(store.ReadNumber(L"LastCheck", 0), ~0ull);
    EXPECT_EQ(ReadText(store, L"tcp://10.0.0.1:23", L"Tags"), L"Bench");
    EXPECT_EQ(ReadText(store, L"COM3", L"Tags"), L"Lab");
    for (size_t i = 0; i < std::size(kAwkwardTexts); ++i) {
        wchar_t name[16];
        _snwprintf(name, 16, L"Text%u", unsigned(i));
        bool found = false;
        EXPECT_EQ(ReadText(store, name, nullptr, &found), kAwkwardTexts[i]) << "value " << i;
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(store.ReadNumber(L"Text0", 5), 5u) << "empty text is not a number";
}

TEST_F(FileSettings, XmlFileThatCannotBeLoadedFailsTheOpenAndIsLeftAlone) {
    std::wstring path = folder.Path(L"broken.xml");
    WriteFileBytes(path, "<Settings><BaudRate>9600</Settings>");
    C_Settings store;
    EXPECT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, L"", path.c_str()), 0);
    EXPECT_EQ(store.ReadNumber(L"BaudRate", 115200), 115200u);
    EXPECT_FALSE(store.WriteNumber(L"BaudRate", 1));
    store.Close();
    EXPECT_EQ(ReadFileBytes(path), "<Settings><BaudRate>9600</Settings>");
}

TEST_F(FileSettings, XmlReadsHandWrittenFilesAndSavesOnlyWhenChanged) {
    std::wstring path = folder.Path(L"hand.xml");
    std::string original = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Config>\r\n  <Velto>\r\n"
                           "    <FontName>DejaVu Sans Mono</FontName>\r\n    <PowerLine>\xEE\x82\xB0</PowerLine>\r\n"
                           "  </Velto>\r\n</Config>\r\n";
    WriteFileBytes(path, original);
    {
        C_Settings store;
        ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, L"Velto", path.c_str()), 1);
        EXPECT_EQ(ReadText(store, L"FontName"), L"DejaVu Sans Mono");
        EXPECT_EQ(ReadText(store, L"PowerLine"), L"\xE0B0");
        EXPECT_EQ(ReadText(store, L"Missing"), L"<default>");
    }
    EXPECT_EQ(ReadFileBytes(path), original) << "nothing written, nothing saved";

    {
        C_Settings store; // closed by its destructor: what was written is not lost
        ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, L"Velto", path.c_str()), 1);
        ASSERT_TRUE(store.WriteString(L"FontName", L"Liberation Mono"));
    }
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, L"Velto", path.c_str()), 1);
    EXPECT_EQ(ReadText(store, L"FontName"), L"Liberation Mono");
    EXPECT_EQ(ReadText(store, L"PowerLine"), L"\xE0B0");
}

TEST_F(FileSettings, FirstChosenBackendWinsAndReopeningSwitches) {
    std::wstring ini = folder.Path(L"both.ini");
    C_Settings store;
    ASSERT_EQ(store.Open(C_Settings::BACKEND_INI | C_Settings::BACKEND_XML, nullptr, L"", ini.c_str()), 1);
    EXPECT_EQ(store.GetBackend(), C_Settings::BACKEND_INI);
    ASSERT_TRUE(store.WriteNumber(L"Flags", 3));
    EXPECT_EQ(GetPrivateProfileIntW(L"Settings", L"Flags", 0, ini.c_str()), 3u) << "an INI file, not XML";

    std::wstring xml = folder.Path(L"both.xml");
    ASSERT_EQ(store.Open(C_Settings::BACKEND_XML, nullptr, L"", xml.c_str()), 1);
    EXPECT_EQ(store.GetBackend(), C_Settings::BACKEND_XML);
    EXPECT_EQ(store.ReadNumber(L"Flags", 1), 1u);
    EXPECT_EQ(store.Open(0, nullptr, L"", nullptr), 0);
    EXPECT_EQ(store.GetBackend(), 0u);
}
