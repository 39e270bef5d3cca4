// The hex dump as text: a journal's rows for the view's Save and copy, and a stream's dump for the command line.
#include "terminal/export/HexExport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MemorySink final : public C_ByteSink {
public:
    bool Write(const void* data, uint32_t size) override {
        ++writes;
        if (failing)
            return false;
        bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
    int writes = 0;
    bool failing = false;
};

void Record(C_ByteJournal& journal, const std::string& bytes, ByteDirection direction = ByteDirection::Received) {
    journal.RecordBytes(direction, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
}

TEST(HexExport, TheJournalsRowsGainTheDirectionColumnOnceItHoldsSentBytes) {
    C_ByteJournal journal;
    Record(journal, "AT\r");
    MemorySink before;
    ASSERT_TRUE(HexExport::Write(journal, false, before));
    EXPECT_EQ(before.bytes, "00000000  41 54 0D                                          |AT.|\r\n");
    Record(journal, "OK\r\n", ByteDirection::Sent);
    MemorySink after;
    ASSERT_TRUE(HexExport::Write(journal, false, after));
    EXPECT_EQ(after.bytes, "RX  00000000  41 54 0D                                          |AT.|\r\n"
                           "TX  00000000  4F 4B 0D 0A                                       |OK..|\r\n");
    MemorySink second;
    ASSERT_TRUE(HexExport::WriteRows(journal, 1, 2, HexExport::LayoutOf(journal, false), second));
    EXPECT_EQ(second.bytes, after.bytes.substr(after.bytes.find("TX")));
}

TEST(HexExport, AStreamsOffsetsGoOnFromBlockToBlockAndEachBlockStartsARow) {
    MemorySink sink;
    HexExport::C_HexDumpWriter dump(sink);
    dump.AddBlock(reinterpret_cast<const uint8_t*>("0123456789abcdefg"), 17);
    dump.AddBlock(reinterpret_cast<const uint8_t*>("h"), 1);
    ASSERT_TRUE(dump.Finish());
    EXPECT_EQ(sink.bytes, "00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\r\n"
                          "00000010  67                                                |g|\r\n"
                          "00000011  68                                                |h|\r\n");
}

// Rows are written in large pieces; the first failed write is reported and nothing more is tried.
TEST(HexExport, ALargeDumpIsWrittenInPiecesAndAFailedWriteIsReported) {
    const std::string block(64 * 1024, '\xff');
    MemorySink sink;
    HexExport::C_HexDumpWriter dump(sink);
    dump.AddBlock(reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()));
    ASSERT_TRUE(dump.Finish());
    EXPECT_EQ(sink.bytes.size(), 4096u * 80);
    EXPECT_GT(sink.writes, 4);

    MemorySink failing;
    failing.failing = true;
    HexExport::C_HexDumpWriter broken(failing);
    broken.AddBlock(reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()));
    EXPECT_FALSE(broken.Finish());
    EXPECT_EQ(failing.writes, 1);
}

} // namespace
