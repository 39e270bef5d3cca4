#include "foundation/base/File.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ReadAll(const std::wstring& path) {
    C_File file;
    std::string text;
    if (!file.Open(path.c_str(), C_File::MODE_READ))
        return "<missing>";
    char chunk[512];
    DWORD n = 0;
    while (file.Read(sizeof chunk, chunk, &n) && n)
        text.append(chunk, n);
    return text;
}

bool WriteText(C_File& file, const char* text) {
    return file.Write(DWORD(strlen(text)), text) == 1;
}

// Stand-in for the system write call: the first call fails with a chosen error, later ones write for real in
// pieces of at most a given size, recording every request.
struct WriteRecorder {
    static inline DWORD firstError = 0;
    static inline DWORD shortAfter = 0; // write fewer bytes than asked from this call on (0: never)
    static inline std::vector<DWORD> requests;
    static BOOL WINAPI Write(HANDLE h, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED ov) {
        requests.push_back(n);
        if (requests.size() == 1 && firstError) {
            SetLastError(firstError);
            return FALSE;
        }
        if (shortAfter && requests.size() >= shortAfter && n > 1)
            n -= 1;
        return ::WriteFile(h, data, n, written, ov);
    }
    WriteRecorder(DWORD error, DWORD shortFrom = 0) {
        firstError = error;
        shortAfter = shortFrom;
        requests.clear();
        C_File::SetWriteFunction(&Write);
    }
    ~WriteRecorder() { C_File::SetWriteFunction(nullptr); }
};

} // namespace

TEST(FileModes, CreateTruncateAppendAndReadBack) {
    TempFolder folder;
    std::wstring path = folder.Path(L"modes.txt");
    C_File file;
    EXPECT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_EXISTING), 0) << "mode 2 needs an existing file";
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1);
    EXPECT_TRUE(WriteText(file, "first line\r\n"));
    file.Close();
    EXPECT_EQ(ReadAll(path), "first line\r\n");

    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_ALWAYS), 1);
    ASSERT_TRUE(file.Seek(0, FILE_END));
    EXPECT_TRUE(WriteText(file, "second\r\n"));
    file.Close();
    EXPECT_EQ(ReadAll(path), "first line\r\nsecond\r\n");

    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1); // create always truncates
    file.Close();
    EXPECT_EQ(ReadAll(path), "");
}

TEST(FileModes, ReadWriteModesAndExistence) {
    TempFolder folder;
    std::wstring path = folder.Path(L"rw.bin");
    C_File file;
    EXPECT_EQ(file.Open(path.c_str(), C_File::MODE_READ_WRITE_EXISTING), 0);
    EXPECT_EQ(file.Open(path.c_str(), C_File::MODE_READ), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)); // the create's error reaches the caller
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_READ_WRITE), 1);
    EXPECT_TRUE(WriteText(file, "abc"));
    ASSERT_TRUE(file.Seek(0));
    char back[4] = {};
    DWORD n = 0;
    EXPECT_EQ(file.Read(3, back, &n), 1);
    EXPECT_EQ(std::string(back, n), "abc");
    EXPECT_EQ(file.GetSize(), 3);
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_READ_WRITE_EXISTING), 1);
}

TEST(FileModes, UnknownModeFailsAndAFailedOpenClosesThePrevious) {
    TempFolder folder;
    std::wstring path = folder.Path(L"open.txt");
    C_File file;
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1);
    EXPECT_EQ(file.Open(path.c_str(), 6), 0);
    EXPECT_FALSE(file.IsOpen());
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1);
    EXPECT_EQ(file.Open(folder.Path(L"missing\\x.txt").c_str(), C_File::MODE_READ), 0);
    EXPECT_FALSE(file.IsOpen());
    // The first handle really was closed: the file can now be opened exclusively.
    C_File exclusive;
    EXPECT_EQ(exclusive.Open(path.c_str(), C_File::MODE_READ_WRITE_EXISTING, FILE_ATTRIBUTE_NORMAL, 0), 1);
}

TEST(FileWrite, ZeroBytesAndCountOut) {
    TempFolder folder;
    C_File file;
    ASSERT_EQ(file.Open(folder.Path(L"zero.txt").c_str(), C_File::MODE_WRITE_CREATE), 1);
    EXPECT_EQ(file.Write(0, ""), 1);
    DWORD written = 99;
    EXPECT_EQ(file.Write(5, "hello", &written), 1);
    EXPECT_EQ(written, 5u);
    C_File closed;
    EXPECT_EQ(closed.Write(3, "abc"), 0);
}

TEST(FileWrite, OutOfResourcesRetriesInMegabytePieces) {
    TempFolder folder;
    std::wstring path = folder.Path(L"retry.bin");
    std::string data(2 * C_File::kRetryPiece + 1000, 'x');
    for (size_t i = 0; i < data.size(); i += 4093)
        data[i] = char('a' + i % 26);
    {
        C_File file;
        ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1);
        WriteRecorder recorder(ERROR_NO_SYSTEM_RESOURCES);
        EXPECT_EQ(file.Write(DWORD(data.size()), data.data()), 1);
        EXPECT_EQ(WriteRecorder::requests,
                  (std::vector<DWORD>{DWORD(data.size()), C_File::kRetryPiece, C_File::kRetryPiece, 1000}));
    }
    EXPECT_EQ(ReadAll(path), data);
}

TEST(FileWrite, NoRetryWithCountOutOrOtherErrors) {
    TempFolder folder;
    C_File file;
    ASSERT_EQ(file.Open(folder.Path(L"noretry.bin").c_str(), C_File::MODE_WRITE_CREATE), 1);
    {
        WriteRecorder recorder(ERROR_NO_SYSTEM_RESOURCES);
        DWORD written = 0;
        EXPECT_EQ(file.Write(10, "0123456789", &written), 0);
        EXPECT_EQ(WriteRecorder::requests.size(), 1u);
    }
    {
        WriteRecorder recorder(ERROR_DISK_FULL);
        EXPECT_EQ(file.Write(10, "0123456789"), 0);
        EXPECT_EQ(WriteRecorder::requests.size(), 1u);
    }
}

TEST(FileWrite, ShortPieceEndsTheRetryWithFailure) {
    TempFolder folder;
    C_File file;
    ASSERT_EQ(file.Open(folder.Path(L"short.bin").c_str(), C_File::MODE_WRITE_CREATE), 1);
    WriteRecorder recorder(ERROR_NO_SYSTEM_RESOURCES, 2);
    std::string data(100, 'y');
    EXPECT_EQ(file.Write(DWORD(data.size()), data.data()), 0);
    EXPECT_EQ(WriteRecorder::requests.size(), 2u);
}

TEST(FileRead, LinesThroughTheReadBuffer) {
    TempFolder folder;
    std::wstring path = folder.Path(L"lines.txt");
    std::string content = "one\r\ntwo\n" + std::string(5000, 'l') + "\r\nlast";
    C_File file;
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_WRITE_CREATE), 1);
    ASSERT_TRUE(WriteText(file, content.c_str()));
    ASSERT_EQ(file.Open(path.c_str(), C_File::MODE_READ), 1);
    std::vector<char> line(8000);
    std::vector<std::string> lines;
    while (file.ReadLine(line.data(), line.size()))
        lines.push_back(line.data());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2].size(), 5000u);
    EXPECT_EQ(lines[3], "last");
}
