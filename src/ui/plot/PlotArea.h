#pragma once
// C_PlotArea: the child window the plot is drawn in. It keeps the picture in a back buffer, which its owner
// renders into and which a paint only copies, and reports the pointer: where it rests, the wheel and drags.
#include "platform/window/BackBuffer.h"

#include <windows.h>

#include <cstdint>

class C_PlotAreaHost {
public:
    // The pointer moved over the area (inside false: it left).
    virtual void OnPlotPointer(POINT point, bool inside) = 0;
    // Wheel notches (positive away from the user) at a client point.
    virtual void OnPlotWheel(double notches, POINT point) = 0;
    // A drag with the left button moved the pointer by dx pixels since the last report.
    virtual void OnPlotDrag(int dx) = 0;

protected:
    ~C_PlotAreaHost() = default;
};

class C_PlotArea {
public:
    C_PlotArea() = default;
    ~C_PlotArea();
    C_PlotArea(const C_PlotArea&) = delete;
    C_PlotArea& operator=(const C_PlotArea&) = delete;

    // Takes the place of the placeholder control of the dialog, with its id.
    bool Create(HWND dialog, int placeholderId, C_PlotAreaHost* host);
    HWND GetWindow() const { return m_window; }

    // The back buffer at the client's size (made again when the size changed); null when it cannot be had.
    HDC BackBuffer();
    SIZE Size() const { return m_backBuffer.Size(); }
    // The buffer's pixels: 32 bits each, rows top-down.
    const uint8_t* Pixels() const { return m_backBuffer.Pixels(); }
    // Shows what was rendered into the back buffer.
    void Show();

private:
    static bool RegisterWindowClass(HINSTANCE instance);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnMouseMove(POINT point);

    HWND m_window = nullptr;
    C_PlotAreaHost* m_host = nullptr;
    C_BackBuffer m_backBuffer;
    bool m_dragging = false;
    bool m_tracking = false;
    int m_dragX = 0;
};
