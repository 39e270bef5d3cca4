// The log file: what the Log button writes while text is received, as text or as the raw bytes, and how it ends
// when the disk refuses a write.
#include "terminal/export/LogFile.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void Append(C_LogFile& log, const std::wstring& text) {
    log.AppendToLog(text.data(), uint32_t(text.size()));
}

void Record(C_LogFile& log, const std::string& bytes, ByteDirection direction = ByteDirection::Received) {
    log.RecordBytes(direction, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
}

class RecordingFailures final : public C_LogFailureHost {
public:
    void LogWriteFailed(uint32_t session) override { sessions.push_back(session); }
    std::vector<uint32_t> sessions;
};

// The system's write fails as on a full disk while installed.
class FullDisk {
public:
    FullDisk() { C_File::SetWriteFunction(Refuse); }
    ~FullDisk() { C_File::SetWriteFunction(nullptr); }

private:
    static BOOL WINAPI Refuse(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED) {
        if (written)
            *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
};

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

// Cyrillic, Greek, CJK, an emoji (a surrogate pair) and braille survive a UTF-8 log, which starts with a mark.
TEST(LogFile, AUtf8LogStartsWithAByteOrderMarkAndKeepsEveryCharacter) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"Log.txt");
    C_LogFile log;
    ASSERT_TRUE(log.Open(path.c_str(), C_LogFile::Kind::Text, TextFileEncoding::Utf8WithBom));
    EXPECT_EQ(ReadFileBytes(path), "\xef\xbb\xbf") << "the mark comes with the new file";
    Append(log, L"\x041F\x0440 \x039A\x03B1\n\x4E2D \xD83D\xDE00 \x280B\n");
    log.Close();
    EXPECT_EQ(ReadFileBytes(path), "\xef\xbb\xbf\xd0\x9f\xd1\x80 \xce\x9a\xce\xb1\r\n\xe4\xb8\xad \xf0\x9f\x98\x80 "
                                   "\xe2\xa0\x8b\r\n");
}

// A raw log holds the received bytes as they came, every value included, and nothing else.
TEST(LogFile, ARawLogHoldsTheReceivedBytesAndNoTextNorSentBytes) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"Log.bin");
    std::string every;
    for (int value = 0; value < 256; ++value)
        every += char(value);
    C_LogFile log;
    ASSERT_TRUE(log.Open(path.c_str(), C_LogFile::Kind::Raw, TextFileEncoding::Utf8WithBom));
    Record(log, every);
    Append(log, L"text the view shows\n");
    Record(log, "typed", ByteDirection::Sent);
    Record(log, std::string("\x00\xff\r\n", 4));
    log.Close();
    EXPECT_EQ(ReadFileBytes(path), every + std::string("\x00\xff\r\n", 4)) << "no mark in front, no line ends changed";

    ASSERT_TRUE(log.Open(path.c_str(), C_LogFile::Kind::Text));
    Record(log, "bytes");
    log.Close();
    EXPECT_EQ(ReadFileBytes(path), "") << "a text log takes no bytes";
}

// A failed write ends the log at once and is told once, with the log it belongs to; what came before stays.
TEST(LogFile, AFailedWriteClosesTheLogAndIsReportedOnceForItsSession) {
    TempFolder folder;
    const std::wstring path = folder.Path(L"Log.txt");
    RecordingFailures failures;
    for (const C_LogFile::Kind kind : {C_LogFile::Kind::Text, C_LogFile::Kind::Raw}) {
        C_LogFile log;
        log.SetFailureHost(&failures);
        failures.sessions.clear();
        ASSERT_TRUE(log.Open(path.c_str(), kind));
        ASSERT_TRUE(log.Open(path.c_str(), kind)) << "a second session";
        Append(log, L"kept\n");
        Record(log, "kept\n");
        {
            FullDisk full;
            Append(log, L"lost\n");
            Record(log, "lost\n");
            Append(log, L"lost too\n");
            Record(log, "lost too\n");
        }
        EXPECT_FALSE(log.IsOpen());
        EXPECT_EQ(failures.sessions, std::vector<uint32_t>{log.Session()});
        EXPECT_EQ(log.Session(), 2u);
        Append(log, L"after\n");
        EXPECT_EQ(ReadFileBytes(path), kind == C_LogFile::Kind::Text ? "kept\r\n" : "kept\n");
    }
    // A mark that cannot be written leaves no log behind that looks started.
    C_LogFile log;
    FullDisk full;
    EXPECT_FALSE(log.Open(path.c_str(), C_LogFile::Kind::Text, TextFileEncoding::Utf8WithBom));
    EXPECT_FALSE(log.IsOpen());
}

} // namespace
