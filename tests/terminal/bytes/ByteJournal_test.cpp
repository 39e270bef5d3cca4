// The byte journal behind the hex view: blocks as rows, its bound, its numbering, its search, and the tap that
// fills it on the way to the receive assembly.
#include "terminal/TerminalHarness.h"

#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/ReceiveTap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class StepClock final : public C_JournalClock {
public:
    uint64_t Now() override { return now += 10000; } // a millisecond later each time
    uint64_t now = 0;
};

class CountingWindow final : public C_JournalWindow {
public:
    void JournalChanged() override { ++changes; }
    int changes = 0;
};

void Record(C_ByteJournal& journal, const std::string& bytes, ByteDirection direction = ByteDirection::Received) {
    journal.RecordBytes(direction, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
}

// Each row as "number:offset:bytes", a '*' before a block's first row and 'T' for sent ones.
std::vector<std::string> Rows(C_ByteJournal& journal) {
    const C_ByteJournal::Extent extent = journal.GetExtent();
    std::vector<C_ByteJournal::Row> rows(size_t(extent.endRow - extent.firstRow) + 1);
    rows.resize(journal.GetRows(extent.firstRow, uint32_t(rows.size()), rows.data()));
    std::vector<std::string> out;
    for (const C_ByteJournal::Row& row : rows)
        out.push_back(std::string(row.blockStart ? "*" : "") + (row.direction == ByteDirection::Sent ? "T" : "") +
                      std::to_string(row.number) + ":" + std::to_string(row.offset) + ":" +
                      std::string(reinterpret_cast<const char*>(row.bytes), row.count));
    return out;
}

int64_t Find(C_ByteJournal& journal, const std::string& pattern, uint64_t from, uint32_t flags = 0) {
    return journal.Find(reinterpret_cast<const uint8_t*>(pattern.data()), uint32_t(pattern.size()), from, flags);
}

TEST(ByteJournal, EveryBlockStartsARowOfSixteenAndEachDirectionCountsItsOwnOffsets) {
    C_ByteJournal journal;
    StepClock clock;
    journal.SetClock(&clock);
    Record(journal, "0123456789abcdefXY");
    Record(journal, "ok", ByteDirection::Sent);
    Record(journal, "z");
    EXPECT_EQ(Rows(journal), (std::vector<std::string>{"*0:0:0123456789abcdef", "1:16:XY", "*T2:0:ok", "*3:18:z"}));
    C_ByteJournal::Row rows[4];
    ASSERT_EQ(journal.GetRows(0, 4, rows), 4u);
    EXPECT_EQ(rows[0].time, 10000u);
    EXPECT_EQ(rows[1].time, 10000u) << "a block's rows share its time";
    EXPECT_EQ(rows[3].time, 30000u);
    const C_ByteJournal::Extent extent = journal.GetExtent();
    EXPECT_TRUE(extent.hasSent);
    EXPECT_EQ(extent.largestOffset, 19u);
    EXPECT_EQ(journal.RowOfByte(17), 1u);
    EXPECT_EQ(journal.RowOfByte(19), 2u);
    EXPECT_EQ(journal.RowOfByte(99), 4u) << "past the end: the end row";
}

TEST(ByteJournal, KeepsItsCapacityByDroppingWholeOldBlocksAndKeepsTheNumbersOfTheRest) {
    C_ByteJournal journal;
    journal.SetCapacity(128); // and so at most two blocks
    ASSERT_EQ(journal.MaximumBlocks(), 2u);
    Record(journal, std::string(40, 'a'));
    Record(journal, std::string(40, 'b'));
    Record(journal, std::string(60, 'c'));
    EXPECT_EQ(Rows(journal), (std::vector<std::string>{"*3:40:" + std::string(16, 'b'), "4:56:" + std::string(16, 'b'),
                                                       "5:72:" + std::string(8, 'b'), "*6:80:" + std::string(16, 'c'),
                                                       "7:96:" + std::string(16, 'c'), "8:112:" + std::string(16, 'c'),
                                                       "9:128:" + std::string(12, 'c')}));
    Record(journal, "d");
    EXPECT_EQ(journal.GetExtent().firstRow, 6u) << "the block limit drops one more";
    // Larger than the whole journal: its end is kept, and the offsets go on counting what was left out.
    Record(journal, std::string(100, 'x') + std::string(128, 'y'));
    EXPECT_EQ(Rows(journal).front(), "*11:241:" + std::string(16, 'y'));
    EXPECT_EQ(journal.GetExtent().endByte - journal.GetExtent().firstByte, 128u);
}

TEST(ByteJournal, ClearingStartsTheOffsetsAgainWhileTheNumbersGoOnAndTellsTheWindow) {
    C_ByteJournal journal;
    CountingWindow window;
    journal.SetWindow(&window);
    Record(journal, "abc");
    Record(journal, "ok", ByteDirection::Sent);
    journal.Clear();
    EXPECT_TRUE(Rows(journal).empty());
    EXPECT_FALSE(journal.GetExtent().hasSent);
    Record(journal, "de");
    EXPECT_EQ(Rows(journal), (std::vector<std::string>{"*2:0:de"}));
    EXPECT_EQ(window.changes, 4);
    Record(journal, "");
    EXPECT_EQ(window.changes, 4) << "an empty block is none";
}

TEST(ByteJournal, FindsForwardAndBackwardAcrossReadsAndAroundTheRingButNeverAcrossDirections) {
    C_ByteJournal journal;
    journal.SetCapacity(640);
    Record(journal, std::string(600, '_')); // dropped by what follows, which then runs round the ring's end
    Record(journal, std::string(50, '.'));
    Record(journal, "OK\r");
    Record(journal, "\n-");
    Record(journal, "\r\n", ByteDirection::Sent); // a sent line end beside received bytes
    Record(journal, "Ok\r");
    ASSERT_EQ(journal.GetExtent().firstByte, 600u);

    constexpr uint32_t kForward = C_ByteJournal::FIND_FORWARD;
    constexpr uint32_t kBackward = C_ByteJournal::FIND_BACKWARD;
    constexpr uint32_t kAnyCase = C_ByteJournal::FIND_IGNORE_ASCII_CASE;
    struct Case {
        const char* pattern;
        uint64_t from;
        uint32_t flags;
        int64_t found;
    } cases[] = {
        {"OK\r\n", 600, kForward, 650},         // across two reads
        {"ok", 600, kForward, -1},              // the case must match
        {"ok", 600, kAnyCase, 650},             //
        {"ok", 651, kAnyCase, 657},             // the next one
        {"ok", 657, kBackward | kAnyCase, 650}, // the last one starting before
        {"-\r\n", 600, kForward, -1},           // received, then sent
        {"\r\nOk", 600, kForward, -1},          // sent, then received
        {"\r\n", 654, kForward, 655},           // the sent line end itself
        {"Ok\r", 1000, kBackward, 657},         // from beyond the end
        {"\r", 660, kBackward, 659},            //
        {"....OK", 0, kForward, 646},           // from before the first byte held
        {"_", 0, kForward, -1},                 // dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(journal, c.pattern, c.from, c.flags), c.found) << c.pattern << " from " << c.from;
}

TEST(ReceiveTap, RecordsEveryBlockAsReadBeforeTheAssemblySeesItAndPassesTheRestOn) {
    TerminalHarness t;
    C_ByteJournal journal;
    C_ReceiveTap tap(t.assembly);
    ASSERT_TRUE(tap.AddRecorder(&journal));
    const std::string block("a\x00\xff\x1b[31mb\r\n", 10);
    tap.ProcessReceivedData(reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()));
    EXPECT_EQ(Rows(journal), (std::vector<std::string>{"*0:0:" + block}));
    t.ticks.now += C_ReceiveAssembly::kFlushInterval + 1;
    tap.FlushIfIdle();
    EXPECT_EQ(t.Line(0), L"a\x00FF"
                         L"b");
    EXPECT_FALSE(tap.HasPendingLine());
}

TEST(ReceiveTap, WhatWasSentIsRecordedAsSentAndEchoedByTheAssembly) {
    TerminalHarness t;
    t.assembly.SetLocalEcho(true);
    C_ByteJournal journal;
    C_ReceiveTap tap(t.assembly);
    ASSERT_TRUE(tap.AddRecorder(&journal));
    const std::string sent("AT\r");
    tap.ProcessSentData(reinterpret_cast<const uint8_t*>(sent.data()), uint32_t(sent.size()));
    EXPECT_EQ(Rows(journal), (std::vector<std::string>{"*T0:0:AT\r"}));
    t.ticks.now += C_ReceiveAssembly::kFlushInterval + 1;
    tap.FlushIfIdle();
    EXPECT_EQ(t.Line(0), L"AT");
}

} // namespace
