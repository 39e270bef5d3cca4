#pragma once
#include <cstdint>

// The only way the line store reaches the window that shows it. The terminal view implements it with its
// scroll bar, caret and repaint throttle; tests implement it with a recorder. The store calls it after it
// has released its lock, so an implementation may read the store (the view does so synchronously from the
// reader thread's notification).

class C_StoreWindow {
public:
    // What the view does with its scroll position when the rows changed.
    enum class Scroll {
        Keep,          // cursor moves, clearing: the range changes, the position stays
        FollowIfAtEnd, // received text: a view at its bottom keeps showing the end
        ToEnd,         // a new filter: the view shows the end
    };

    // The store reached its capacity and dropped its oldest lines. Cell indexes the store keeps (cursor,
    // selection, search position, links) have already been moved; a window that keeps row or cell positions
    // of its own (scroll position, a mouse selection under way) moves them up by these amounts, clamping at
    // 0. rows counts what the view paints: display rows, or visible segments while a filter is active.
    // A RowsChanged follows.
    struct Dropped {
        uint32_t lines;
        uint32_t cells;
        uint32_t rows;
    };
    virtual void LinesDropped(const Dropped& dropped) = 0;
    // Rows were added or the layout was rebuilt, so the scroll range must be updated.
    virtual void RowsChanged(Scroll scroll) = 0;
    // The terminal cursor moved without a change of rows.
    virtual void CaretMoved() = 0;
    // Something visible changed. throttled: a stream of received text, which the view repaints at a limited
    // rate; otherwise the change is shown at the next paint.
    virtual void RepaintWanted(bool throttled) = 0;
    // A line arrived that the filter hides (the main window animates an activity indicator).
    virtual void HiddenLineReceived() = 0;
    // A search found text in this row (a display row, or a visible segment while a filter is active).
    virtual void BringRowIntoView(int row) = 0;

protected:
    ~C_StoreWindow() = default;
};

// For a store without a window (the command-line tool, benchmarks).
class C_NoWindow final : public C_StoreWindow {
public:
    void RowsChanged(Scroll) override {}
    void CaretMoved() override {}
    void RepaintWanted(bool) override {}
    void HiddenLineReceived() override {}
    void BringRowIntoView(int) override {}
    void LinesDropped(const Dropped&) override {}
};
