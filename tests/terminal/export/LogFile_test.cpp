// The log file: what the Log button writes while text is received.
#include "terminal/export/LogFile.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Append(C_LogFile& log, const std::wstring& text) {
    log.AppendToLog(text.data(), uint32_t(text.size()));
}

TEST(LogFile, LineFeedsBecomeCrLfInTheAnsiCodePageAndEachTextIsWrittenAtOnce) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"Log.txt");
    C_LogFile log;
    ASSERT_TRUE(log.Open(path.c_str()));

    Append(log, L"first\nsec");
    EXPECT_EQ(ReadFileBytes(path), "first\r\nsec") << "nothing is held back, while the log is still open";
    Append(log, L"ond \x00E9\x4E2D\n\n");
    log.Close();

    EXPECT_EQ(ReadFileBytes(path), "first\r\nsecond \xE9?\r\n\r\n") << "the code page (1252 here) has no CJK";
    Append(log, L"after the close\n");
    EXPECT_EQ(ReadFileBytes(path), "first\r\nsecond \xE9?\r\n\r\n");
}

TEST(LogFile, StartingALogReplacesWhatTheFileHeldAndAFailedStartLeavesItClosed) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"Log.txt");
    {
        C_LogFile log;
        ASSERT_TRUE(log.Open(path.c_str()));
        Append(log, L"an older and longer session\n");
    }
    C_LogFile log;
    ASSERT_TRUE(log.Open(path.c_str()));
    Append(log, L"new\n");
    EXPECT_EQ(ReadFileBytes(path), "new\r\n");

    EXPECT_FALSE(log.Open(folder.Path(L"missing\\Log.txt").c_str()));
    EXPECT_FALSE(log.IsOpen());
    Append(log, L"nowhere\n");
    EXPECT_EQ(ReadFileBytes(path), "new\r\n");
}

} // namespace
