#pragma once
// C_ComboBox: an owner-drawn combo box (variable item height, items with strings) whose items carry a 32-bit
// value and an icon drawn before the text. The dialog owns the window; this object attaches to it, keeps what
// each item stands for, and measures and draws the items when the dialog passes it WM_MEASUREITEM and
// WM_DRAWITEM. Items are found by value or by text, never by position, because a sorted list reorders them.
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>
#include <vector>

class C_StringTable;

class C_ComboBox {
public:
    static constexpr int kNone = -1;
    // At 96 DPI; both follow the window's DPI.
    static constexpr int kIconSize = 16;
    static constexpr int kPadding = 2;
    static constexpr COLORREF kDarkItemBackground = RGB(0x19, 0x19, 0x19);
    static constexpr COLORREF kDarkItemText = RGB(0xFF, 0xFF, 0xFF);

    C_ComboBox() = default;
    C_ComboBox(const C_ComboBox&) = delete;
    C_ComboBox& operator=(const C_ComboBox&) = delete;

    // Empties the list; icons are loaded from module. False when combo is not a window.
    bool Attach(HWND combo, HINSTANCE module);
    void Detach();
    HWND GetWindow() const { return m_window; }

    // The new item's index, or kNone when the list or the memory refused it. icon 0 draws no icon.
    int AddItem(const wchar_t* text, uint32_t value, UINT icon);
    int AddItem(C_StringTable& strings, UINT stringId, uint32_t value, UINT icon);
    int FindValue(uint32_t value) const;
    // Exact text, ignoring case as the combo box does (font names are case-insensitive to the system).
    int FindText(const wchar_t* text) const;
    // kNone clears the selection.
    bool Select(int index);
    int GetSelection() const;
    // The text in the edit field of an editable combo box; GetEditText reads at most limit - 1 characters.
    bool SetEditText(const wchar_t* text);
    bool GetEditText(C_String& out, uint32_t limit) const;
    // False when nothing is selected.
    bool GetSelectedValue(uint32_t& value) const;
    bool GetSelectedText(C_String& out) const;
    int GetCount() const;

    // Each answers whether the message was this combo box's.
    bool OnMeasureItem(MEASUREITEMSTRUCT& item);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    // Icons and item heights follow the window's new DPI.
    void OnDpiChanged();
    void SetDarkMode(bool dark);

private:
    struct Item {
        uint32_t value;
        UINT icon;
    };
    struct LoadedIcon {
        UINT id;
        C_Icon icon;
    };

    const Item* ItemAt(int index) const;
    HICON IconFor(UINT id);
    int ItemHeight() const;
    void UpdateHeights();
    UINT Dpi() const;

    HWND m_window = nullptr;
    HINSTANCE m_module = nullptr;
    bool m_dark = false;
    // The combo box keeps an index into this as each item's data, so sorting does not separate them.
    std::vector<Item> m_items;
    std::vector<LoadedIcon> m_icons; // at the current DPI
    UINT m_iconDpi = 0;
};
