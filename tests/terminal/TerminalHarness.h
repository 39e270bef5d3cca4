#pragma once
// A line store with a recording window and a receive assembly on a manual clock: bytes in, stored lines,
// colours and notifications out.
#include "terminal/store/LineStore.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <string>
#include <vector>

class ManualTicks final : public C_TickSource {
public:
    uint32_t Milliseconds() override { return now; }
    uint32_t now = 1000000;
};

class RecordingWindow final : public C_StoreWindow {
public:
    void RowsChanged(Scroll scroll) override {
        events.push_back(scroll == Scroll::Keep ? "rows"
                                                : (scroll == Scroll::FollowIfAtEnd ? "rows+follow" : "rows+end"));
    }
    void BringRowIntoView(int row) override { events.push_back("show row " + std::to_string(row)); }
    void CaretMoved() override { events.push_back("caret"); }
    void RepaintWanted(bool throttled) override { events.push_back(throttled ? "repaint-throttled" : "repaint"); }
    void HiddenLineReceived() override { events.push_back("hidden"); }
    void LinesDropped(const Dropped& dropped) override {
        events.push_back("dropped " + std::to_string(dropped.lines) + " lines " + std::to_string(dropped.rows) +
                         " rows");
        droppedCells += dropped.cells;
    }
    bool Saw(const std::string& event) const {
        for (const auto& e : events)
            if (e == event)
                return true;
        return false;
    }
    std::vector<std::string> events;
    uint64_t droppedCells = 0;
};

// Filter stand-in: shows lines containing the given text (all lines while it is empty).
class ContainsFilter final : public C_LineFilter {
public:
    bool LineMatchesFilter(const wchar_t* text, uint32_t length) override {
        if (record)
            tested.emplace_back(text, length);
        return needle.empty() || std::wstring(text, length).find(needle) != std::wstring::npos;
    }
    std::wstring needle;
    std::vector<std::wstring> tested;
    bool record = true;
};

struct TerminalHarness {
    TerminalHarness() {
        store.SetWindow(&window);
        assembly.SetTickSource(&ticks);
    }

    // One block as a reader would hand it, then the idle flush a reader makes 20 ms later.
    void Receive(const std::string& bytes) {
        Block(bytes);
        ticks.now += C_ReceiveAssembly::kFlushInterval + 1;
        assembly.FlushIfIdle();
    }
    // One block, without the idle flush.
    void Block(const std::string& bytes) {
        assembly.ProcessReceivedData(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    }

    std::vector<std::wstring> Lines() {
        C_Lock lock(store.Lock());
        std::vector<std::wstring> lines;
        for (uint32_t i = 0; i < store.LineCount(); ++i)
            lines.emplace_back(store.Cells() + store.LineStart(i), store.LineLength(i) - 1);
        return lines;
    }
    std::wstring Line(uint32_t i) { return Lines().at(i); }
    std::wstring Text() {
        std::wstring all;
        for (const auto& line : Lines())
            all += line + L"|";
        return all;
    }
    Attribute AttributeAt(uint32_t line, uint32_t column) {
        C_Lock lock(store.Lock());
        return store.Attributes()[store.LineStart(line) + column];
    }
    Rgb ForegroundAt(uint32_t line, uint32_t column) { return Colour::ForegroundOf(AttributeAt(line, column)); }
    Rgb BackgroundAt(uint32_t line, uint32_t column) { return Colour::BackgroundOf(AttributeAt(line, column)); }
    std::vector<uint32_t> RowLengths() {
        C_Lock lock(store.Lock());
        std::vector<uint32_t> rows;
        for (uint32_t i = 0; i < store.RowCount(); ++i)
            rows.push_back(store.RowEnd(i) - store.RowStart(i));
        return rows;
    }
    std::vector<C_LineStore::Segment> Segments() {
        C_Lock lock(store.Lock());
        std::vector<C_LineStore::Segment> segments;
        for (uint32_t i = 0; i < store.SegmentCount(); ++i)
            segments.push_back(store.GetSegment(i));
        return segments;
    }

    RecordingWindow window;
    ManualTicks ticks;
    C_LineStore store;
    C_ReceiveAssembly assembly{store};
};

// The colours as the store keeps them: 15 bits, expanded back.
constexpr Rgb Stored(Rgb rgb) {
    return Colour::Unpack(Colour::Pack(rgb));
}

// Checks what must hold after any input; returns an empty text or what is wrong.
std::string CheckStoreInvariants(C_LineStore& store);
