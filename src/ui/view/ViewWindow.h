#pragma once
// What the terminal view and the hex view share as windows: a window class of their own, the terminal's font and
// the scroll-to-end icon. Both show the same device in the same place, so they must look and answer alike.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstdint>

// A window class registered once per process under its prefix and a GUID: a name nobody else can know in
// advance, so no other program's class of the same name can be mistaken for it.
class C_PrivateWindowClass {
public:
    static constexpr int kMaxPrefixLength = 15;

    explicit constexpr C_PrivateWindowClass(const wchar_t* prefix) : m_prefix(prefix) {}
    C_PrivateWindowClass(const C_PrivateWindowClass&) = delete;
    C_PrivateWindowClass& operator=(const C_PrivateWindowClass&) = delete;

    // Registers windowClass under the name at the first call (its size and name are set here). False when that
    // failed; a later call tries again.
    bool Register(WNDCLASSEXW windowClass);
    const wchar_t* Name() const { return m_name; }

private:
    static constexpr int kGuidTextLength = 39; // braced GUID and its terminating zero

    const wchar_t* m_prefix;
    wchar_t m_name[kMaxPrefixLength + kGuidTextLength] = {};
};

namespace TerminalFont {

// The face the options name, its size in twentieths of a point and the Flags option (FLAG_BOLD), at dpi.
LOGFONTW Face(const wchar_t* faceName, uint32_t fontSize, uint32_t flags, UINT dpi);
// The cell of the font: the extent of one character drawn with it into dc. False when there is none.
bool MeasureCell(HDC dc, HFONT font, SIZE& cell);

} // namespace TerminalFont

// The icon in a view's lower right corner while the view does not show its end; a click on it scrolls there.
class C_ScrollToEndIcon {
public:
    static constexpr int kSize = 48; // at 96 DPI

    // The icon at dpi's size; where it sits stays until the next Place.
    void Load(UINT dpi);
    // One icon size away from the lower right corner of a client area of width x height.
    void Place(int width, int height);
    const RECT& Rect() const { return m_rect; }
    bool Contains(POINT point) const { return PtInRect(&m_rect, point) != FALSE; }
    void Draw(HDC dc) const;

private:
    C_ImageList m_images;
    int m_size = kSize;
    RECT m_rect{};
};
