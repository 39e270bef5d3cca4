#pragma once
// The toolbar's fixed buttons as one table: a button is one row (its command, icon, text, kind, handler and the
// state it shows), so adding one needs a row and its handler, nothing else. The port buttons follow the fixed
// ones, each with the image of its port's kind; the images are the fixed buttons' icons in row order, then the
// port kinds' (PortButtons).
#include "platform/window/Toolbar.h"

#include <windows.h>

#include <cstddef>

class C_MainFrame;

struct ToolbarButton {
    WORD command; // 0: a separator (nothing else of the row counts)
    UINT icon;    // resource id
    UINT text;    // string-table entry
    C_Toolbar::ButtonKind kind;
    void (C_MainFrame::*run)();
    // What the button shows for the tab in front; null for a button that is always just enabled, or whose state
    // its owner sets itself (the search bar sets Search's).
    BYTE (C_MainFrame::*state)() const;
};

struct ToolbarButtons {
    static const ToolbarButton kRows[];
    static const size_t kCount; // rows, separators included: the index of the first port button

    static const ToolbarButton* begin() { return kRows; }
    static const ToolbarButton* end() { return kRows + kCount; }
    // The row of a command; null for none (a port button, a separator).
    static const ToolbarButton* Find(WORD command);
    // The image of a row: its place among the rows that are buttons. The port kinds' images start at ImageCount.
    static int ImageOf(const ToolbarButton& row);
    static int ImageCount();
};
