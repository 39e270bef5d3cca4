// A real hex view in a visible pop-up window on the test display, over a journal filled as a reader fills it: what
// it follows and shows, and what the user's mouse, keys, search and save do.
#include "ui/hex/HexView.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "terminal/export/HexExport.h"
#include "ui/view/TerminalViewFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

class HexViewTest : public ::testing::Test {
protected:
    static constexpr int kColumns = 100;
    static constexpr int kRows = 8;

    static void SetUpTestSuite() { parent = CreateSuiteFrame(L"hex test"); }
    static void TearDownTestSuite() {
        DestroyWindow(parent);
        parent = nullptr;
        PumpPending();
    }

    void SetUp() override {
        view.SetFontOptions(L"DejaVu Sans Mono", 200, 0);
        view.SetSendSink(&sink);
        view.SetHost(&host);
        ASSERT_TRUE(view.Create(parent, {0, 0, 100, 100}, 0, C_HexView::Visibility::Shown));
        FitToClient(parent, view.GetWindow(), kColumns * view.CharacterWidth() + 2 * C_HexView::kMargin,
                    kRows * view.RowHeight() + 2 * C_HexView::kMargin);
        PumpPending();
        ASSERT_EQ(view.VisibleRows(), uint32_t(kRows));
    }
    void TearDown() override {
        view.Destroy();
        PumpPending();
    }

    // Blocks recorded on a reader thread of their own, then the view's throttled refresh.
    void RecordOnReader(const std::vector<std::string>& blocks, ByteDirection direction = ByteDirection::Received) {
        std::thread reader([&] {
            for (const std::string& block : blocks)
                journal.RecordBytes(direction, reinterpret_cast<const uint8_t*>(block.data()), uint32_t(block.size()));
        });
        reader.join();
        const uint64_t end = journal.GetExtent().endRow;
        ASSERT_TRUE(PumpUntil([&] { return view.KnownEndRow() == end; }));
    }
    // One full row of its number's byte each: row n is 16 times the byte n.
    std::vector<std::string> Rows(int first, int count) {
        std::vector<std::string> blocks;
        for (int n = first; n < first + count; ++n)
            blocks.push_back(std::string(16, char(n)));
        return blocks;
    }

    void Paint() { RedrawWindow(view.GetWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    void Mouse(UINT message, POINT point, WPARAM keys = 0) {
        PostMessageW(view.GetWindow(), message, keys, MAKELPARAM(point.x, point.y));
        PumpPending();
    }
    // The middle of a text column on a shown row.
    POINT ColumnPoint(int row, uint32_t column) const {
        return {C_HexView::kMargin + int(column) * view.CharacterWidth() + view.CharacterWidth() / 2,
                C_HexView::kMargin + row * view.RowHeight() + view.RowHeight() / 2};
    }
    POINT BytePoint(int row, uint32_t index) const {
        return ColumnPoint(row, HexRows::HexColumn(view.Layout(), index));
    }
    // Whether any pixel of a text cell passes the test.
    template <class Test> bool CellHas(int row, uint32_t column, Test test) const {
        const POINT centre = ColumnPoint(row, column);
        for (int y = centre.y - view.RowHeight() / 2; y < centre.y + view.RowHeight() / 2; ++y)
            for (int x = centre.x - view.CharacterWidth() / 2; x < centre.x + view.CharacterWidth() / 2; ++x) {
                const COLORREF pixel = GetPixel(view.BackBuffer(), x, y);
                if (test(GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)))
                    return true;
            }
        return false;
    }
    std::wstring ClipboardText() { return ::ClipboardText(parent); }

    C_ByteJournal journal;
    C_HexView view{journal};
    RecordingSink sink;
    RecordingHost host;
    static inline HWND parent = nullptr;
};

TEST_F(HexViewTest, FollowsTheEndAtTheBottomStaysPutWhenScrolledUpAndTheIconBringsItBack) {
    RecordOnReader(Rows(0, 30));
    EXPECT_TRUE(view.IsAtBottom());
    EXPECT_EQ(view.TopRow(), 30u - kRows);

    PostMessageW(view.GetWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), 0);
    PumpPending();
    EXPECT_EQ(view.TopRow(), 30u - kRows - 3);
    RecordOnReader(Rows(30, 10));
    EXPECT_EQ(view.TopRow(), 30u - kRows - 3) << "what the user looks at stays";

    Paint();
    const RECT icon = view.ScrollToEndRect();
    const POINT middle = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    Mouse(WM_LBUTTONDOWN, middle, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, middle);
    EXPECT_TRUE(view.IsAtBottom());
    uint64_t low, high;
    EXPECT_FALSE(view.GetSelection(low, high)) << "the click on the icon selects nothing";
    RecordOnReader(Rows(40, 5));
    EXPECT_EQ(view.TopRow(), 45u - kRows);
}

// Rows the journal drops take the top row along only when it was among them.
TEST_F(HexViewTest, DroppedRowsMoveTheViewOnlyWhenItShowedThem) {
    journal.SetCapacity(64 * 64); // 64 rows of 16 bytes, in at most 64 blocks
    RecordOnReader(Rows(0, 60));
    view.ScrollToRow(40);
    RecordOnReader(Rows(60, 20)); // drops rows 0 to 15
    EXPECT_EQ(view.TopRow(), 40u);
    view.ScrollToRow(20);
    RecordOnReader(Rows(80, 10)); // drops rows 16 to 25
    EXPECT_EQ(view.TopRow(), 26u);
}

TEST_F(HexViewTest, ReceivedBytesInTheTextColourSentOnesInAmberAndTheDirectionColumnOnceThereAreAny) {
    RecordOnReader({std::string(20, 'A')});
    EXPECT_EQ(view.Layout().columns & HexRows::COLUMN_DIRECTION, 0u);
    RecordOnReader({"BBBB"}, ByteDirection::Sent);
    EXPECT_NE(view.Layout().columns & HexRows::COLUMN_DIRECTION, 0u);
    Paint();
    auto amber = [](int r, int, int b) { return r > 0x90 && r > b + 0x40; };
    auto grey = [](int r, int, int b) { return r > 0x90 && b >= r; };
    const uint32_t firstPair = HexRows::HexColumn(view.Layout(), 0);
    EXPECT_TRUE(CellHas(0, firstPair, grey));
    EXPECT_FALSE(CellHas(0, firstPair, amber));
    EXPECT_TRUE(CellHas(2, firstPair, amber));

    view.SetTimesShown(true);
    EXPECT_NE(view.Layout().columns & HexRows::COLUMN_TIME, 0u);
    Paint();
    auto lit = [](int r, int g, int b) { return r + g + b > 0x180; };
    EXPECT_TRUE(CellHas(0, 0, lit)) << "the time's first digit on the block's first row";
    EXPECT_FALSE(CellHas(1, 0, lit)) << "none further down the block";
    EXPECT_TRUE(CellHas(2, 0, lit)) << "the next block's";
}

TEST_F(HexViewTest, DragSelectsBytesByTheirPairsOrCharactersAndCopyGivesTheRowsItTouches) {
    RecordOnReader({"0123456789abcdefghijklmnopqrstuv"});
    const uint64_t first = journal.GetExtent().firstByte;
    Mouse(WM_LBUTTONDOWN, BytePoint(0, 14), MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, ColumnPoint(1, HexRows::CharacterColumn(view.Layout(), 2)), MK_LBUTTON);
    Mouse(WM_LBUTTONUP, ColumnPoint(1, HexRows::CharacterColumn(view.Layout(), 2)));
    uint64_t low, high;
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 14u);
    EXPECT_EQ(high - first, 18u);
    Paint();
    EXPECT_TRUE(CellHas(1, HexRows::HexColumn(view.Layout(), 1), [](int r, int g, int b) {
        return r == 0x00 && g == 0x5A && b == 0xC8;
    })) << "the selection's background";

    {
        HeldKeys control({VK_CONTROL});
        SendMessageW(view.GetWindow(), WM_CHAR, 3, 0);
    }
    EXPECT_EQ(ClipboardText(), L"00000000  30 31 32 33 34 35 36 37  38 39 61 62 63 64 65 66  |0123456789abcdef|\r\n"
                               L"00000010  67 68 69 6A 6B 6C 6D 6E  6F 70 71 72 73 74 75 76  |ghijklmnopqrstuv|\r\n");
    EXPECT_FALSE(view.GetSelection(low, high)) << "copying ends the selection";
    EXPECT_EQ(sink.sent, L"");

    Mouse(WM_LBUTTONDBLCLK, BytePoint(1, 3), MK_LBUTTON);
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 16u) << "a double click takes the row";
    EXPECT_EQ(high - first, 32u);
}

TEST_F(HexViewTest, SearchSelectsAndShowsTheMatchAndGoesRoundOnce) {
    std::vector<std::string> blocks = Rows(0, 40);
    blocks[5] = std::string(8, '\x05') + "\xde\xad\xbe\xef" + std::string(4, '\x05');
    blocks[33] = std::string(8, '\x21') + "\xde\xad\xbe\xef" + std::string(4, '\x21');
    RecordOnReader(blocks);
    const uint64_t first = journal.GetExtent().firstByte;
    uint64_t low, high;
    ASSERT_TRUE(view.Search(L"DE AD be ef", C_LineStore::SEARCH_FORWARD, C_LineStore::kSearchPosition));
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 5u * 16 + 8);
    EXPECT_EQ(high - low, 4u);
    EXPECT_LE(view.TopRow(), 5u);
    EXPECT_GT(view.TopRow() + view.VisibleRows(), 5u);

    ASSERT_TRUE(view.Search(L"deadbeef", C_LineStore::SEARCH_FORWARD, C_LineStore::kSearchPosition));
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 33u * 16 + 8);
    EXPECT_GT(view.TopRow() + view.VisibleRows(), 33u);
    ASSERT_TRUE(view.Search(L"deadbeef", C_LineStore::SEARCH_FORWARD, C_LineStore::kSearchPosition));
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 5u * 16 + 8) << "round to the start once";
    ASSERT_TRUE(view.Search(L"deadbeef", C_LineStore::SEARCH_BACKWARD, C_LineStore::kSearchPosition));
    ASSERT_TRUE(view.GetSelection(low, high));
    EXPECT_EQ(low - first, 33u * 16 + 8) << "backward, round to the end";
    EXPECT_FALSE(view.Search(L"cafe", C_LineStore::SEARCH_FORWARD, C_LineStore::kSearchPosition));
    EXPECT_FALSE(view.GetSelection(low, high));
}

TEST_F(HexViewTest, SaveWritesTheDumpAndKeysActAsInTheTerminalView) {
    RecordOnReader({"AT\r\n"});
    TempFolder folder;
    const std::wstring path = folder.Path(L"dump.txt");
    ASSERT_EQ(view.SaveDump(path.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(path), "00000000  41 54 0D 0A                                       |AT..|\r\n");
    EXPECT_EQ(view.SaveDump(folder.Path(L"missing\\dump.txt").c_str()), 0);

    SendMessageW(view.GetWindow(), WM_CHAR, 'a', 0);
    {
        HeldKeys control({VK_CONTROL});
        SendMessageW(view.GetWindow(), WM_CHAR, 6, 0); // Ctrl+F
    }
    {
        HeldKeys controlShift({VK_CONTROL, VK_SHIFT});
        SendMessageW(view.GetWindow(), WM_CHAR, 8, 0); // Ctrl+Shift+H
    }
    {
        HeldKeys controlShift({VK_CONTROL, VK_SHIFT});
        SendMessageW(view.GetWindow(), WM_KEYDOWN, 'S', 0);
        SendMessageW(view.GetWindow(), WM_KEYDOWN, 'O', 0);
    }
    {
        HeldKeys control({VK_CONTROL});
        SendMessageW(view.GetWindow(), WM_KEYDOWN, VK_CANCEL, 0); // Ctrl+Break
    }
    SendMessageW(view.GetWindow(), WM_KEYDOWN, VK_UP, 0);
    view.SetEnterText(L"\r\n");
    SendMessageW(view.GetWindow(), WM_CHAR, 13, 0);
    EXPECT_EQ(sink.sent, L"a\x1b[A\r\n");
    EXPECT_EQ(host.searchToggles, 1);
    EXPECT_EQ(host.hexToggles, 1);
    EXPECT_EQ(host.sendBarToggles, 1) << "Ctrl+Shift+S";
    EXPECT_EQ(host.fileChoices, 1) << "Ctrl+Shift+O";
    EXPECT_EQ(sink.breaks, 1) << "Ctrl+Break";

    view.Clear();
    EXPECT_EQ(journal.GetExtent().endRow, journal.GetExtent().firstRow);
}

} // namespace
