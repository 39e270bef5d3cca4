#include "maintenance/crash/CrashFiles.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(CrashFiles, BasesBesideTheProgramAndInTheTemporaryFolder) {
    struct Case {
        const wchar_t* module;
        const wchar_t* beside;
        const wchar_t* fallback;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Velto\\velto.exe", L"C:\\Program Files\\Velto\\velto", L"T:\\tmp\\velto"},
        {L"C:\\tools.d\\velto", L"C:\\tools.d\\velto", L"T:\\tmp\\velto"},
        {L"C:\\a\\app.v2.exe", L"C:\\a\\app.v2", L"T:\\tmp\\app.v2"},
        {L"velto.exe", L"velto", L"T:\\tmp\\MiniDump"},
        {nullptr, L"MiniDump", L"T:\\tmp\\MiniDump"},
    };
    for (const Case& c : cases) {
        CrashFileBases bases;
        ASSERT_TRUE(MakeCrashFileBases(c.module, L"T:\\tmp\\", bases));
        EXPECT_STREQ(bases.beside.c_str(), c.beside) << (c.module ? c.module : L"(none)");
        EXPECT_STREQ(bases.fallback.c_str(), c.fallback) << (c.module ? c.module : L"(none)");
    }
}

TEST(CrashFiles, FallsBackWhenTheProgramFolderCannotBeWritten) {
    TempFolder folder;
    CreateDirectoryW(folder.Path(L"temp").c_str(), nullptr);
    CrashFileBases bases;
    ASSERT_TRUE(bases.beside.Assign(folder.Path(L"missing\\app").c_str()));
    ASSERT_TRUE(bases.fallback.Assign(folder.Path(L"temp\\app").c_str()));
    C_String path;
    C_Handle file = CreateCrashFile(bases, kTextFileFormat, path);
    ASSERT_TRUE(file);
    EXPECT_EQ(std::wstring(path.c_str()), folder.Path(L"temp\\app_Debug.txt"));
    // Shared for reading and writing while the report is being written.
    EXPECT_EQ(ReadFileBytes(path.c_str()), "");
    file.Reset();

    ASSERT_TRUE(bases.beside.Assign(folder.Path(L"app").c_str()));
    file = CreateCrashFile(bases, kDumpFileFormat, path);
    EXPECT_EQ(std::wstring(path.c_str()), folder.Path(L"app_Debug.dmp")) << "beside the program first";
    file.Reset();

    ASSERT_TRUE(bases.beside.Assign(folder.Path(L"missing\\app").c_str()));
    ASSERT_TRUE(bases.fallback.Assign(folder.Path(L"missing too\\app").c_str()));
    EXPECT_FALSE(CreateCrashFile(bases, kTextFileFormat, path));
    EXPECT_EQ(std::wstring(path.c_str()), folder.Path(L"missing too\\app_Debug.txt")) << "the last attempt's name";
}
