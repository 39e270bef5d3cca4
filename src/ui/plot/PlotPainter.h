#pragma once
// C_PlotPainter: draws a plot frame with GDI into a device context: the dark background, the value and time
// grids with their labels, one line per shown series, the pointer's time and value, and for a saved picture a
// legend with the latest values.
//
// A series is drawn column by column: each pixel column it has points in gets one vertical stroke from its
// smallest to its largest value, reaching to the previous column's last value so the line stays joined; a
// column after a gap is joined to the one before by a line, and so are the neighbours outside the window. The
// strokes go straight into the pixels when the context holds a 32-bit DIB section (the window's back buffer
// and the saved picture always do): 16 series of thousands of columns would otherwise be as many GDI lines,
// which cost far more than the 16 ms a picture may take.
#include "platform/system/Handles.h"
#include "terminal/plot/PlotAxis.h"
#include "ui/plot/PlotFrame.h"

#include <windows.h>

#include <cstdint>

struct PlotPaintOptions {
    enum Flags : uint32_t {
        PAINT_PLAIN = 0,
        PAINT_LEGEND = 0x1, // a picture that leaves the window carries its own legend
    };
    HFONT font;
    const wchar_t* emptyText; // shown while no series has a line in the window
    bool hover;               // the pointer is over the plot at `pointer`
    POINT pointer;
    uint32_t flags;
};

class C_PlotPainter {
public:
    static constexpr int kGap = 6;                   // pixels between labels and the plot, at 96 DPI
    static constexpr int kHoverRadius = 24;          // a point this close to the pointer is the one it names
    static constexpr int kTicksPerLabel = 3;         // a value tick every three label heights at most
    static constexpr int kTimeLabelGap = 3;          // a time tick every three label widths at most
    static constexpr int kMarker = 3;                // half the side of the hovered point's mark
    static constexpr int kLegendSwatch = 14;         // length of a legend entry's line
    static constexpr int kCoordinateLimit = 1 << 20; // GDI draws only within a range; lines are cut to it

    C_PlotPainter() = default;
    ~C_PlotPainter();
    C_PlotPainter(const C_PlotPainter&) = delete;
    C_PlotPainter& operator=(const C_PlotPainter&) = delete;

    // The plot's inner rectangle for a client of this size: the room the labels leave. Frames are taken at its
    // width in columns.
    static RECT PlotRect(HDC dc, HFONT font, SIZE client);
    void Paint(HDC dc, SIZE client, const C_PlotFrame& frame, const PlotPaintOptions& options);

    // Of the last picture: the plot's rectangle and its time scale, for the pointer's zoom and pan.
    const RECT& LastPlotRect() const { return m_scale.plot; }
    double MicrosecondsPerPixel() const {
        return m_scale.pixelsPerMicrosecond > 0 ? 1 / m_scale.pixelsPerMicrosecond : 0;
    }

private:
    struct Scale {
        RECT plot;
        int64_t start;
        double pixelsPerMicrosecond;
        double low;
        double pixelsPerValue;
    };
    double X(int64_t time) const;
    double Y(double value) const;
    int Clamp(double coordinate) const;
    void PaintValueGrid(HDC dc, const PlotAxis::Ticks& ticks) const;
    void PaintTimeGrid(HDC dc, const C_PlotFrame& frame) const;
    // The DC's bitmap when strokes can be written into it.
    struct Pixels {
        uint32_t* bits;
        int stride; // in pixels; negative for a bottom-up bitmap
        int width;
        int height;
    };
    static bool PixelsOf(HDC dc, Pixels& pixels);
    void PaintSeries(HDC dc, const Pixels* pixels, const PlotFrameSeries& series, COLORREF colour, uint32_t columns);
    void Stroke(HDC dc, const Pixels* pixels, int x, int top, int bottom, COLORREF colour) const;
    void AddSegment(double x0, double y0, double x1, double y1);
    bool ReserveSegments(uint32_t count);
    void PaintHover(HDC dc, const C_PlotFrame& frame, const PlotPaintOptions& options) const;
    void PaintLegend(HDC dc, const C_PlotFrame& frame) const;
    void PaintLabelBox(HDC dc, int x, int y, const wchar_t* text) const;

    Scale m_scale{};
    uint32_t m_valueDecimals = 0;
    int m_textHeight = 0;
    POINT* m_points = nullptr; // two a segment
    DWORD* m_counts = nullptr; // 2 for each segment, as PolyPolyline wants them
    uint32_t m_segmentCapacity = 0;
    uint32_t m_segmentCount = 0;
};
