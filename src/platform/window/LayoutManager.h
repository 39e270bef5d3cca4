#pragma once
// C_LayoutManager: moves and stretches child controls when their parent is resized. Each registered control
// keeps the distances between its edges and the parent's client edges that it had when it was registered; a
// rule says which of its edges follow the right and bottom edges of the parent. After a DPI change the
// distances are measured again from where the system put the controls.
#include <windows.h>

class C_LayoutManager {
public:
    enum Rule : unsigned {
        RULE_STRETCH_WIDTH = 0x1,  // the left edge stays, the right edge follows the parent's right edge
        RULE_STRETCH_HEIGHT = 0x2, // the top edge stays, the bottom edge follows the parent's bottom edge
        RULE_MOVE_RIGHT = 0x4,     // both side edges follow the right edge: the width stays
        RULE_MOVE_DOWN = 0x8,      // both top and bottom follow the bottom edge: the height stays
    };
    // The main window lays out two controls; room for a few more.
    static constexpr int kMaxControls = 8;

    C_LayoutManager() = default;
    C_LayoutManager(const C_LayoutManager&) = delete;
    C_LayoutManager& operator=(const C_LayoutManager&) = delete;

    // All controls share one parent. False when the table is full or the control is not the parent's child.
    bool Register(HWND parent, HWND control, unsigned rules);
    // Places every control for the parent's current client size.
    void Apply();
    // Takes the controls' current places as the new reference (after a DPI change).
    void Remeasure();
    void Clear();

    // Where a control that was at original while the client area was originalClient goes for client.
    static RECT Place(const RECT& original, SIZE originalClient, unsigned rules, SIZE client);

private:
    struct Entry {
        HWND control;
        unsigned rules;
        RECT original; // in the parent's client coordinates
    };
    bool Measure(Entry& entry);
    SIZE ClientSize() const;

    HWND m_parent = nullptr;
    SIZE m_client{};
    Entry m_entries[kMaxControls] = {};
    int m_count = 0;
};
