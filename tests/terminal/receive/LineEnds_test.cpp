// Line ends and when the pending line reaches the store.
#include "terminal/TerminalHarness.h"
#include "platform/system/Handles.h"

#include <gtest/gtest.h>

TEST(LineEnds, PairsCountOnceAndLoneBytesCountToo) {
    struct Case {
        const char* bytes;
        const wchar_t* text;
    } cases[] = {
        {"a\r\nb", L"a|b|"},  {"a\n\rb", L"a|b|"},  {"a\rb", L"a|b|"},        {"a\nb", L"a|b|"},
        {"a\r\rb", L"a||b|"}, {"a\n\nb", L"a||b|"}, {"a\r\n\r\nb", L"a||b|"}, {"a\r\n\nb", L"a||b|"},
    };
    for (const Case& c : cases) {
        TerminalHarness t;
        t.Receive(c.bytes);
        EXPECT_EQ(t.Text(), c.text) << "for " << c.bytes;
    }
}

TEST(LineEnds, SequenceBetweenCrAndLfDoesNotSplitThePair) {
    TerminalHarness t;
    t.Receive("a\r\x1b[31m\nb");
    EXPECT_EQ(t.Text(), L"a|b|");
}

TEST(LineEnds, PairSpansBlocks) {
    TerminalHarness t;
    t.Receive("a\r");
    t.Receive("\nb");
    EXPECT_EQ(t.Text(), L"a|b|");
}

TEST(LineEnds, StoredCellsOfTwoLines) {
    TerminalHarness t;
    t.Receive("ab\nc");
    C_Lock lock(t.store.Lock());
    ASSERT_EQ(t.store.CellCount(), 5u);
    const wchar_t expected[] = {L'a', L'b', 1, L'c', 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(t.store.Cells()[i], expected[i]);
    EXPECT_EQ(t.store.LineLength(0), 3u);
    EXPECT_EQ(t.store.LineLength(1), 2u);
}

TEST(Flushing, FreshStoreHoldsOneEmptyLine) {
    TerminalHarness t;
    C_Lock lock(t.store.Lock());
    EXPECT_EQ(t.store.CellCount(), 1u);
    EXPECT_EQ(t.store.Cells()[0], C_LineStore::kEndMarker);
    EXPECT_EQ(t.store.LineCount(), 1u);
    EXPECT_EQ(t.store.RowCount(), 1u);
}

TEST(Flushing, BlockReachesStoreAtItsEndOnlyAfterTwentyMilliseconds) {
    TerminalHarness t;
    t.Block("first");
    EXPECT_EQ(t.Text(), L"first|"); // more than 20 ms since the last flush (none yet)
    t.ticks.now += 5;
    t.Block("abc\n");
    EXPECT_EQ(t.Text(), L"first|");
    EXPECT_EQ(t.assembly.PendingLength(), 4u);
    t.ticks.now += 10;
    t.assembly.FlushIfIdle(); // only 15 ms since the last flush
    EXPECT_EQ(t.Text(), L"first|");
    t.ticks.now += 6;
    t.assembly.FlushIfIdle();
    EXPECT_EQ(t.Text(), L"firstabc||");
    EXPECT_EQ(t.assembly.PendingLength(), 0u);
}

TEST(Flushing, LineEndAloneDoesNotFlushWithoutFilter) {
    TerminalHarness t;
    t.Block("x"); // flushed at the end of the block: the first flush
    t.Block("a\r\n");
    t.ticks.now += 1;
    t.Block("b\r\n");
    EXPECT_EQ(t.Text(), L"x|");
    t.ticks.now += 25;
    t.assembly.FlushIfIdle();
    EXPECT_EQ(t.Text(), L"xa|b||");
}

TEST(Flushing, CursorAndColourChangesFlushFirst) {
    TerminalHarness t;
    t.Block("x");
    t.Block("ab\x1b[31m");
    EXPECT_EQ(t.Text(), L"xab|");
    t.Block("c\bd");
    EXPECT_EQ(t.Text(), L"xabc|");
    t.Receive("");
    EXPECT_EQ(t.Text(), L"xabd|");
}

TEST(Flushing, WithFilterEachLineArrivesWholeAndIsTested) {
    TerminalHarness t;
    ContainsFilter filter;
    filter.needle = L"keep";
    t.store.SetFilter(&filter);
    t.store.SetFilterActive(true);
    filter.tested.clear();
    t.Block("keep 1\r\ndrop\nkeep");
    t.Block(" 2\x1b[31m\r\n"); // a colour change does not flush a filtered line
    ASSERT_EQ(filter.tested.size(), 3u);
    EXPECT_EQ(filter.tested[0], L"keep 1\n");
    EXPECT_EQ(filter.tested[1], L"drop\n");
    EXPECT_EQ(filter.tested[2], L"keep 2\n");
    EXPECT_EQ(t.Text(), L"keep 1|drop|keep 2||");
    EXPECT_TRUE(t.window.Saw("hidden"));
}

TEST(Flushing, FilteredLineWithoutEndIsWrittenAtTheThreshold) {
    TerminalHarness t;
    ContainsFilter filter;
    t.store.SetFilter(&filter);
    t.store.SetFilterActive(true);
    std::string big(C_ReceiveAssembly::kFilteredFlushThreshold - 1, 'x');
    t.Receive(big);
    EXPECT_EQ(t.assembly.PendingLength(), big.size());
    t.Receive("y");
    EXPECT_EQ(t.assembly.PendingLength(), 0u);
    EXPECT_EQ(t.Line(0).size(), big.size() + 1);
}

class RecordingLog final : public C_LogSink {
public:
    void AppendToLog(const wchar_t* text, uint32_t length) override { chunks.emplace_back(text, length); }
    std::vector<std::wstring> chunks;
};

TEST(Flushing, LogReceivesEveryFlushedTextAsStoredIncludingHiddenLines) {
    TerminalHarness t;
    RecordingLog log;
    t.assembly.SetLogSink(&log);
    t.Receive("caf\xc3\xa9\n");
    ContainsFilter filter;
    filter.needle = L"nothing matches";
    t.store.SetFilter(&filter);
    t.store.SetFilterActive(true);
    t.Receive("hidden\n");
    ASSERT_EQ(log.chunks.size(), 2u);
    EXPECT_EQ(log.chunks[0], L"caf\u00e9\n");
    EXPECT_EQ(log.chunks[1], L"hidden\n");
}

namespace {

// Another thread must be able to take the store lock while the window handles a notification, as the view
// does when the reader thread sends it the rows-added message.
class LockProbe final : public C_StoreWindow {
public:
    explicit LockProbe(C_LineStore& store) : m_store(store) {}
    ~LockProbe() {
        for (const C_Handle& thread : m_threads)
            WaitForSingleObject(thread.Get(), 30000);
    }
    void RowsChanged(Scroll) override { Probe(); }
    void BringRowIntoView(int) override { Probe(); }
    void CaretMoved() override { Probe(); }
    void RepaintWanted(bool) override { Probe(); }
    void HiddenLineReceived() override { Probe(); }
    void LinesDropped(const Dropped&) override { Probe(); }
    int heldCount = 0;
    int probeCount = 0;

private:
    static DWORD WINAPI TakeLock(void* store) {
        C_Lock lock(static_cast<C_LineStore*>(store)->Lock());
        return 0;
    }
    void Probe() {
        ++probeCount;
        C_Handle thread(CreateThread(nullptr, 0, TakeLock, &m_store, 0, nullptr));
        if (WaitForSingleObject(thread.Get(), 10000) != WAIT_OBJECT_0)
            ++heldCount; // it finishes once the store lets go; the destructor waits for it
        m_threads.push_back(std::move(thread));
    }
    std::vector<C_Handle> m_threads;
    C_LineStore& m_store;
};

} // namespace

TEST(Flushing, NotificationsComeAfterTheLockIsReleased) {
    TerminalHarness t;
    LockProbe probe(t.store);
    t.store.SetWindow(&probe);
    t.Receive("a\nb\x1b[2J\x1b[3;3Hc\x1b[K\x1b[P");
    EXPECT_GT(probe.probeCount, 5);
    EXPECT_EQ(probe.heldCount, 0);
}

TEST(Flushing, AppendedRowsAskToFollowTheEndAndCursorMovesDoNot) {
    TerminalHarness t;
    t.Receive("a");
    EXPECT_EQ(t.window.events, (std::vector<std::string>{"caret", "repaint-throttled"}));
    t.window.events.clear();
    t.Receive("\nb");
    EXPECT_EQ(t.window.events, (std::vector<std::string>{"rows+follow", "repaint-throttled"}));
    t.window.events.clear();
    t.Receive("\x1b[2J");
    t.window.events.clear();
    t.Receive("\x1b[5;1H");
    EXPECT_EQ(t.window.events, (std::vector<std::string>{"caret", "rows", "repaint"}));
}
