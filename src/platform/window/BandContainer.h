#pragma once
// C_BandContainer: a rebar across the top of a window holding child windows in bands (the toolbar and the web
// link). Bands have variable heights and borders, no divider line; a band may show a chevron when its child is
// wider than the room it gets, and its owner then shows what did not fit.
#include <windows.h>

class C_BandContainer {
public:
    enum BandStyle : unsigned {
        BAND_CHEVRON = 0x1, // takes the room the others leave and shows a chevron when its ideal width does not fit
        BAND_FIXED = 0x2,   // keeps its width
    };

    C_BandContainer() = default;
    C_BandContainer(const C_BandContainer&) = delete;
    C_BandContainer& operator=(const C_BandContainer&) = delete;

    // The rebar is a child of parent and goes with it.
    bool Create(HWND parent, UINT id);
    HWND Window() const { return m_window; }

    // Appends a band holding child (which the rebar adopts) at the child's current height. Its index is the
    // number of bands before it.
    bool AddBand(HWND child, int width, unsigned style);
    // The width a chevron band wants: beyond it nothing is hidden.
    void SetIdealWidth(int band, int width);
    void SetWidth(int band, int width);
    // After the child's height changed (DPI change).
    void SetChildHeight(int band, int height);
    // The parent was resized: the rebar follows its width, and the chevron band takes the room left.
    void Resize();
    // The rebar's height in pixels.
    int Height() const;

private:
    void GiveRoomToChevronBand();

    HWND m_window = nullptr;
    int m_chevronBand = -1;
};
