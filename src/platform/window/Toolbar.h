#pragma once
// C_Toolbar: a flat list-style toolbar (text beside the icons) with tooltips, drop-down arrows and mixed
// buttons, whose icons come from icon resources at a DPI-scaled size, once into a normal and once into a hot
// image list. When it sits in a band too narrow for it, ShowChevronMenu offers the buttons that did not fit as
// an owner-drawn pop-up menu with their icons and texts.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>

class C_Toolbar {
public:
    static constexpr int kMaxImages = 32;
    static constexpr int kMaxMenuItems = 128;
    static constexpr int kMaxMenuText = 260;

    enum ButtonKind : BYTE {
        BUTTON_PLAIN,
        BUTTON_CHECK, // stays down while checked
    };

    C_Toolbar() = default;
    C_Toolbar(const C_Toolbar&) = delete;
    C_Toolbar& operator=(const C_Toolbar&) = delete;

    // The toolbar is a child of parent and goes with it. iconIds give the image indices in their order;
    // imageSize is the icon size at 96 DPI.
    bool Create(HWND parent, UINT id, HINSTANCE instance, const UINT* iconIds, int iconCount, int imageSize);
    HWND Window() const { return m_window; }

    bool AddButton(int command, int image, const wchar_t* text, ButtonKind kind = BUTTON_PLAIN);
    bool AddSeparator();
    // Deletes the buttons from index on.
    void DeleteFrom(int index);
    int ButtonCount() const;

    bool SetText(int command, const wchar_t* text);
    // TBSTATE_* bits; TBSTATE_ENABLED is the plain state.
    bool SetState(int command, BYTE state);
    BYTE GetState(int command) const;
    // Item index's rectangle in the toolbar's client coordinates.
    bool ItemRect(int index, RECT& rect) const;
    // The width that shows every button, and the height of a button row.
    SIZE IdealSize() const;

    // After a DPI change: the image lists are made again at the new size and the buttons measured again.
    void OnDpiChanged();

    // The buttons whose right edge lies beyond visibleWidth, as a pop-up menu at the screen point; pressed buttons
    // are checked, indeterminate ones greyed. owner receives WM_MEASUREITEM and WM_DRAWITEM meanwhile (and must
    // pass them to the two handlers below). The chosen button's command, or 0.
    int ShowChevronMenu(HWND owner, POINT screen, int visibleWidth);
    bool OnMeasureItem(MEASUREITEMSTRUCT* item);
    bool OnDrawItem(const DRAWITEMSTRUCT* item);

private:
    struct MenuItem {
        int image;
        bool checked;
        bool greyed;
        wchar_t text[kMaxMenuText];
    };
    bool LoadImages();
    int ScaledImageSize() const;
    bool ButtonText(int index, int command, wchar_t (&text)[kMaxMenuText]) const;
    const MenuItem* ItemOf(ULONG_PTR data) const;

    HWND m_window = nullptr;
    HINSTANCE m_instance = nullptr;
    UINT m_iconIds[kMaxImages] = {};
    int m_iconCount = 0;
    int m_imageSize = 0;
    C_ImageList m_images;
    C_ImageList m_hotImages;
    // Only while a chevron menu is up.
    MenuItem* m_menuItems = nullptr;
    int m_menuItemCount = 0;
};
