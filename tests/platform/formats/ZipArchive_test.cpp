// Archive extraction: what lands in the folder, and that a hostile or broken archive writes nothing outside
// it (and, when refused up front, nothing at all).
#include "platform/formats/SafePath.h"
#include "platform/formats/ZipArchive.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(SafePath, OnlyNamesThatStayInsideTheFolderPass) {
    struct Case {
        const wchar_t* path;
        bool relative;
        bool plain;
    } cases[] = {
        {L"velto.exe", true, true},
        {L"docs\\readme.txt", true, false},
        {L"docs/lang/de.txt", true, false},
        {L"..", false, false},
        {L"..\\velto.exe", false, false},
        {L"docs/../../velto.exe", false, false},
        {L".\\velto.exe", false, false},
        {L"\\Windows\\evil.exe", false, false},
        {L"/etc/evil", false, false},
        {L"C:\\evil.exe", false, false},
        {L"C:evil.exe", false, false},
        {L"velto.exe:stream", false, false},
        {L"\\\\server\\share\\x", false, false},
        {L"...", false, false},
        {L"name.", false, false},
        {L"name ", false, false},
        {L"NUL", false, false},
        {L"docs\\com1.txt", false, false},
        {L"lpt9", false, false},
        {L"console.log", true, true},
        {L"com10", true, true},
        {L"a*b", false, false},
        {L"tab\there", false, false},
        {L"docs\\\\x", false, false},
        {L"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeRelativePath(c.path), c.relative) << c.path;
        EXPECT_EQ(IsPlainFileName(c.path), c.plain) << c.path;
    }
}

TEST(SafePath, JoinedPathsResolveInsideTheFolder) {
    wchar_t out[MAX_PATH];
    ASSERT_TRUE(JoinInside(L"C:\\Program\\Velto\\", L"docs/readme.txt", out, MAX_PATH));
    EXPECT_STREQ(out, L"C:\\Program\\Velto\\docs\\readme.txt");
    EXPECT_FALSE(JoinInside(L"C:\\Program\\Velto", L"..\\x", out, MAX_PATH));
    EXPECT_FALSE(JoinInside(L"C:\\Program\\Velto", L"docs\\readme.txt", out, 10)); // does not fit
}

class ZipTest : public ::testing::Test {
protected:
    ZipResult Extract(const std::string& archive) {
        if (!WriteFileBytes(m_archive, archive))
            return ZipResult::Unreadable;
        return ExtractZipArchive(m_archive.c_str(), m_target.c_str());
    }
    // Names of everything below the target folder, sorted, folders with a trailing backslash.
    std::vector<std::wstring> Listing(const std::wstring& folder = L"", std::vector<std::wstring> names = {}) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((m_target + L"\\" + folder + L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                names.push_back(folder + name + L"\\");
                names = Listing(folder + name + L"\\", names);
            } else {
                names.push_back(folder + name);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder m_folder;
    std::wstring m_archive = m_folder.Path(L"update.zip");
    std::wstring m_target = [this] {
        std::wstring target = m_folder.Path(L"program");
        CreateDirectoryW(target.c_str(), nullptr);
        return target;
    }();
};

TEST_F(ZipTest, ExtractsStoredAndDeflatedEntriesWithTheirFolders) {
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += char('A' + i * 7 % 23);
    ZipBuilder zip;
    zip.Add("velto.exe", big)
        .Add("notes.txt", "stored as is", ZipBuilder::STORED)
        .Add("lang/", "", ZipBuilder::STORED)
        .Add("lang/de/strings.txt", "Hallo")
        .Add("empty.txt", "", ZipBuilder::STORED);
    ASSERT_EQ(Extract(zip.Build()), ZipResult::Extracted);
    EXPECT_EQ(ReadFileBytes(m_target + L"\\velto.exe"), big);
    EXPECT_EQ(ReadFileBytes(m_target + L"\\notes.txt"), "stored as is");
    EXPECT_EQ(ReadFileBytes(m_target + L"\\lang\\de\\strings.txt"), "Hallo");
    EXPECT_EQ(ReadFileBytes(m_target + L"\\empty.txt"), "");
}

TEST_F(ZipTest, ReplacesFilesThatAreAlreadyThere) {
    ASSERT_TRUE(WriteFileBytes(m_target + L"\\velto.exe", "old program, longer than the new one"));
    ASSERT_EQ(Extract(ZipBuilder().Add("velto.exe", "new").Build()), ZipResult::Extracted);
    EXPECT_EQ(ReadFileBytes(m_target + L"\\velto.exe"), "new");
}

TEST_F(ZipTest, NamesAreUtf8WhenFlaggedAndThePcCodePageOtherwise) {
    ZipBuilder zip;
    zip.Add("\xC3\xBC"
            "ber.txt",
            "utf-8")
        .Last()
        .flags = 0x0800; // ü in UTF-8
    zip.Add("\x81"
            "ber2.txt",
            "cp437"); // ü in code page 437
    ASSERT_EQ(Extract(zip.Build()), ZipResult::Extracted);
    EXPECT_EQ(ReadFileBytes(m_target + L"\\\x00FC"
                                       L"ber.txt"),
              "utf-8");
    EXPECT_EQ(ReadFileBytes(m_target + L"\\\x00FC"
                                       L"ber2.txt"),
              "cp437");
}

TEST_F(ZipTest, AnArchiveWithOneEntryOutsideTheFolderIsRefusedWhole) {
    const char* hostile[] = {"../escaped.txt", "lang/../../escaped.txt", "/escaped.txt",     "\\escaped.txt",
                             "C:/escaped.txt", "C:escaped.txt",          "velto.exe:hidden", "NUL",
                             "lang\\..\\..\\x"};
    for (const char* name : hostile) {
        ZipBuilder zip;
        zip.Add("first.txt", "written before the bad one?").Add(name, "payload").Add("last.txt", "x");
        EXPECT_EQ(Extract(zip.Build()), ZipResult::UnsafePath) << name;
        EXPECT_TRUE(Listing().empty()) << name;
        EXPECT_EQ(ReadFileBytes(m_folder.Path(L"escaped.txt")), "<missing>") << name;
    }
}

TEST_F(ZipTest, BrokenArchivesFailWithoutLeavingTheBrokenFile) {
    struct Case {
        const char* name;
        ZipResult expected;
        std::string archive;
    };
    ZipBuilder badCrc;
    badCrc.Add("good.txt", "fine").Add("bad.txt", "spoiled").Last().crcAdjust = 1;
    ZipBuilder encrypted;
    encrypted.Add("secret.txt", "x").Last().flags = 0x0001;
    std::string whole = ZipBuilder().Add("a.txt", std::string(5000, 'a')).Build();
    const std::string truncated = whole.substr(0, whole.size() - 10); // a download that ended early
    std::string badLocal = whole;
    badLocal[0] = 'X';
    std::string garbage(2000, '\x5A');
    std::string badData = ZipBuilder().Add("a.txt", std::string(5000, 'a'), ZipBuilder::DEFLATED).Build();
    badData[35] ^= 0x55; // the first byte of the deflated data, after the 30-byte header and the 5-byte name
    const Case cases[] = {
        {"bad crc", ZipResult::Corrupt, badCrc.Build()},       {"encrypted", ZipResult::Unsupported, encrypted.Build()},
        {"truncated", ZipResult::NotAnArchive, truncated},     {"local header spoiled", ZipResult::Corrupt, badLocal},
        {"not a zip", ZipResult::NotAnArchive, garbage},       {"too short", ZipResult::NotAnArchive, "PK"},
        {"spoiled deflate data", ZipResult::Corrupt, badData},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Extract(c.archive), c.expected) << c.name;
        for (const std::wstring& name : Listing())
            EXPECT_EQ(name, L"good.txt") << c.name; // whole entries before the broken one may stay
    }
    EXPECT_EQ(ExtractZipArchive(m_folder.Path(L"missing.zip").c_str(), m_target.c_str()), ZipResult::Unreadable);
}

} // namespace
