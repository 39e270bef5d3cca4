#include "ui/plot/PlotPainter.h"

#include "foundation/base/Memory.h"
#include "terminal/plot/PlotNumber.h"
#include "ui/plot/PlotPalette.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr const wchar_t* kWidestValueLabel = L"-8888888.8";
constexpr const wchar_t* kWidestTimeLabel = L"88:88:88.888";
constexpr int64_t kHoverTimeStep = 1000; // the hover names times to the millisecond
constexpr uint32_t kHoverText = 96;

SIZE TextSize(HDC dc, const wchar_t* text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, int(wcslen(text)), &size);
    return size;
}

void FillRectangle(HDC dc, const RECT& rect, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    POINT points[2] = {{x0, y0}, {x1, y1}};
    Polyline(dc, points, 2);
}

} // namespace

C_PlotPainter::~C_PlotPainter() {
    Memory::Release(m_points);
    Memory::Release(m_counts);
}

RECT C_PlotPainter::PlotRect(HDC dc, HFONT font, SIZE client) {
    C_SelectedObject selected(dc, font);
    SIZE value = TextSize(dc, kWidestValueLabel);
    RECT plot = {value.cx + 2 * kGap, value.cy / 2 + kGap, client.cx - 2 * kGap, client.cy - value.cy - 2 * kGap};
    if (plot.right <= plot.left)
        plot.right = plot.left + 1;
    if (plot.bottom <= plot.top)
        plot.bottom = plot.top + 1;
    return plot;
}

double C_PlotPainter::X(int64_t time) const {
    return double(m_scale.plot.left) + double(time - m_scale.start) * m_scale.pixelsPerMicrosecond;
}

double C_PlotPainter::Y(double value) const {
    return double(m_scale.plot.bottom - 1) - (value - m_scale.low) * m_scale.pixelsPerValue;
}

int C_PlotPainter::Clamp(double coordinate) const {
    if (coordinate < -kCoordinateLimit)
        return -kCoordinateLimit;
    if (coordinate > kCoordinateLimit)
        return kCoordinateLimit;
    return int(std::floor(coordinate + 0.5));
}

void C_PlotPainter::Paint(HDC dc, SIZE client, const C_PlotFrame& frame, const PlotPaintOptions& options) {
    C_SelectedObject font(dc, options.font);
    SetBkMode(dc, TRANSPARENT);
    FillRectangle(dc, {0, 0, client.cx, client.cy}, PlotPalette::kBackground);
    m_textHeight = TextSize(dc, kWidestValueLabel).cy;
    m_scale.plot = PlotRect(dc, options.font, client);
    const RECT& plot = m_scale.plot;
    double low = 0, high = 1;
    bool lines = frame.ValueRange(low, high);
    uint32_t maxTicks = uint32_t((plot.bottom - plot.top) / (kTicksPerLabel * (m_textHeight > 0 ? m_textHeight : 1)));
    PlotAxis::Ticks ticks = PlotAxis::ValueTicks(low, high, maxTicks + 1);
    m_valueDecimals = ticks.decimals;
    m_scale.start = frame.Start();
    m_scale.pixelsPerMicrosecond = double(plot.right - plot.left) / double(frame.End() - frame.Start());
    m_scale.low = ticks.first;
    m_scale.pixelsPerValue =
        double(plot.bottom - 1 - plot.top) / (PlotAxis::TickValue(ticks, ticks.count - 1) - ticks.first);
    PaintValueGrid(dc, ticks);
    PaintTimeGrid(dc, frame);
    // The strokes written into the pixels must follow what GDI has drawn so far, and the joining lines stay
    // inside the plot.
    GdiFlush();
    Pixels pixels;
    bool direct = PixelsOf(dc, pixels);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, plot.left, plot.top, plot.right, plot.bottom);
    for (uint32_t s = 0; s < frame.SeriesCount(); ++s)
        if (!frame.Series(s).hidden)
            PaintSeries(dc, direct ? &pixels : nullptr, frame.Series(s), PlotPalette::OfSeries(s), frame.Columns());
    RestoreDC(dc, saved);
    if (!lines && options.emptyText) {
        SetTextColor(dc, PlotPalette::kLabel);
        RECT centre = plot;
        DrawTextW(dc, options.emptyText, -1, &centre, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (options.hover)
        PaintHover(dc, frame, options);
    if (options.flags & PlotPaintOptions::PAINT_LEGEND)
        PaintLegend(dc, frame);
}

void C_PlotPainter::PaintValueGrid(HDC dc, const PlotAxis::Ticks& ticks) const {
    const RECT& plot = m_scale.plot;
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, PlotPalette::kGrid);
    SetTextColor(dc, PlotPalette::kLabel);
    for (uint32_t i = 0; i < ticks.count; ++i) {
        double value = PlotAxis::TickValue(ticks, i);
        int y = Clamp(Y(value));
        Line(dc, plot.left, y, plot.right, y);
        wchar_t label[PlotAxis::kMaxLabel];
        PlotAxis::FormatValue(value, ticks.decimals, label, PlotAxis::kMaxLabel);
        RECT box = {0, y - m_textHeight / 2, plot.left - kGap, y + m_textHeight - m_textHeight / 2};
        DrawTextW(dc, label, -1, &box, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
}

void C_PlotPainter::PaintTimeGrid(HDC dc, const C_PlotFrame& frame) const {
    const RECT& plot = m_scale.plot;
    int labelWidth = TextSize(dc, kWidestTimeLabel).cx;
    uint32_t maxTicks = uint32_t((plot.right - plot.left) / (labelWidth + kTimeLabelGap * kGap));
    int64_t step = PlotAxis::TimeStep(frame.End() - frame.Start(), maxTicks ? maxTicks : 1);
    int64_t bias = PlotAxis::LocalBias();
    for (int64_t t = PlotAxis::FirstTimeTick(frame.Start(), step, bias); t < frame.End(); t += step) {
        int x = Clamp(X(t));
        Line(dc, x, plot.top, x, plot.bottom);
        wchar_t label[PlotAxis::kMaxLabel];
        PlotAxis::FormatTime(t, step, bias, label, PlotAxis::kMaxLabel);
        RECT box = {x - labelWidth, plot.bottom + kGap / 2, x + labelWidth, plot.bottom + kGap / 2 + m_textHeight};
        DrawTextW(dc, label, -1, &box, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
}

bool C_PlotPainter::ReserveSegments(uint32_t count) {
    if (count <= m_segmentCapacity)
        return true;
    void* points = Memory::Reallocate(m_points, size_t(count) * 2 * sizeof(POINT));
    if (points)
        m_points = static_cast<POINT*>(points);
    void* counts = points ? Memory::Reallocate(m_counts, size_t(count) * sizeof(DWORD)) : nullptr;
    if (!counts)
        return false;
    m_counts = static_cast<DWORD*>(counts);
    for (uint32_t i = m_segmentCapacity; i < count; ++i)
        m_counts[i] = 2;
    m_segmentCapacity = count;
    return true;
}

void C_PlotPainter::AddSegment(double x0, double y0, double x1, double y1) {
    m_points[2 * m_segmentCount] = {Clamp(x0), Clamp(y0)};
    m_points[2 * m_segmentCount + 1] = {Clamp(x1), Clamp(y1)};
    ++m_segmentCount;
}

// Which way the rows run is asked of the bitmap itself: a pixel set through GDI is looked for in the first row of
// the bits (Wine reports a top-down section's height as positive, unlike the header it was made from).
bool C_PlotPainter::PixelsOf(HDC dc, Pixels& pixels) {
    constexpr COLORREF kProbe = RGB(0x01, 0x02, 0x03);
    constexpr uint32_t kProbeBits = 0x010203;
    DIBSECTION section = {};
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    if (!bitmap || GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits ||
        section.dsBmih.biBitCount != 32 || section.dsBmih.biCompression != BI_RGB || section.dsBm.bmHeight <= 0)
        return false;
    int rowPixels = section.dsBm.bmWidthBytes / 4;
    pixels.width = section.dsBm.bmWidth;
    pixels.height = section.dsBm.bmHeight;
    auto* bits = static_cast<uint32_t*>(section.dsBm.bmBits);
    uint32_t* lastRow = bits + (pixels.height - 1) * rowPixels;
    COLORREF saved = GetPixel(dc, 0, 0);
    SetPixelV(dc, 0, 0, kProbe);
    GdiFlush();
    bool topDown = (bits[0] & 0xFFFFFF) == kProbeBits;
    bool bottomUp = (lastRow[0] & 0xFFFFFF) == kProbeBits;
    SetPixelV(dc, 0, 0, saved);
    GdiFlush();
    if (topDown == bottomUp && pixels.height > 1)
        return false;
    pixels.bits = topDown ? bits : lastRow;
    pixels.stride = topDown ? rowPixels : -rowPixels;
    return true;
}

// One column's vertical stroke, top to bottom inclusive, within the plot.
void C_PlotPainter::Stroke(HDC dc, const Pixels* pixels, int x, int top, int bottom, COLORREF colour) const {
    const RECT& plot = m_scale.plot;
    if (top < plot.top)
        top = int(plot.top);
    if (bottom > plot.bottom - 1)
        bottom = int(plot.bottom - 1);
    if (x < plot.left || x >= plot.right || top > bottom)
        return;
    if (!pixels) {
        PatBlt(dc, x, top, 1, bottom - top + 1, PATCOPY);
        return;
    }
    if (x >= pixels->width || bottom >= pixels->height || top < 0)
        return;
    uint32_t value = uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
    uint32_t* at = pixels->bits + top * pixels->stride + x;
    for (int y = top; y <= bottom; ++y, at += pixels->stride)
        *at = value;
}

void C_PlotPainter::PaintSeries(HDC dc, const Pixels* pixels, const PlotFrameSeries& series, COLORREF colour,
                                uint32_t columns) {
    if (!ReserveSegments(columns + 2))
        return;
    m_segmentCount = 0;
    SetDCBrushColor(dc, colour);
    SelectObject(dc, GetStockObject(DC_BRUSH));
    const PlotReduction::Result& reduced = series.reduced;
    int previous = -1; // the last column with points
    double previousY = 0;
    uint32_t filled = 0;
    for (uint32_t c = 0; c < columns; ++c) {
        const PlotReduction::Column& column = series.columns[c];
        if (!column.count)
            continue;
        double x = double(m_scale.plot.left + int(c));
        double top = Y(column.max), bottom = Y(column.min), first = Y(column.first);
        if (previous >= 0 && previous + 1 == int(c)) {
            top = previousY < top ? previousY : top;
            bottom = previousY > bottom ? previousY : bottom;
        } else if (previous >= 0) {
            AddSegment(double(m_scale.plot.left + previous), previousY, x, first);
        } else if (reduced.before.present) {
            AddSegment(X(reduced.before.time), Y(reduced.before.value), x, first);
        }
        Stroke(dc, pixels, int(x), Clamp(top), Clamp(bottom), colour);
        previous = int(c);
        previousY = Y(column.last);
        ++filled;
    }
    if (previous >= 0 && reduced.after.present)
        AddSegment(double(m_scale.plot.left + previous), previousY, X(reduced.after.time), Y(reduced.after.value));
    if (previous < 0 && reduced.before.present && reduced.after.present)
        AddSegment(X(reduced.before.time), Y(reduced.before.value), X(reduced.after.time), Y(reduced.after.value));
    // A lone point would be one pixel: it gets a mark the eye finds.
    if (filled == 1 && !m_segmentCount)
        PatBlt(dc, m_scale.plot.left + previous - 1, Clamp(previousY) - 1, 3, 3, PATCOPY);
    if (!m_segmentCount)
        return;
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, colour);
    PolyPolyline(dc, m_points, m_counts, m_segmentCount);
}

void C_PlotPainter::PaintLabelBox(HDC dc, int x, int y, const wchar_t* text) const {
    const RECT& plot = m_scale.plot;
    SIZE size = TextSize(dc, text);
    RECT box = {x, y, x + size.cx + 2 * kGap, y + size.cy + kGap};
    if (box.right > plot.right) {
        OffsetRect(&box, plot.right - box.right, 0);
    }
    if (box.left < plot.left)
        OffsetRect(&box, plot.left - box.left, 0);
    if (box.bottom > plot.bottom)
        OffsetRect(&box, 0, plot.bottom - box.bottom);
    FillRectangle(dc, box, PlotPalette::kHoverBox);
    SetTextColor(dc, PlotPalette::kHover);
    RECT inner = {box.left + kGap, box.top + kGap / 2, box.right, box.bottom};
    DrawTextW(dc, text, -1, &inner, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

// The point nearest the pointer, if one is close, is named with its exact value; otherwise the pointer's own time
// and value are shown.
void C_PlotPainter::PaintHover(HDC dc, const C_PlotFrame& frame, const PlotPaintOptions& options) const {
    const RECT& plot = m_scale.plot;
    const POINT& pointer = options.pointer;
    if (pointer.x < plot.left || pointer.x >= plot.right || pointer.y < plot.top || pointer.y >= plot.bottom)
        return;
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, PlotPalette::kHoverLine);
    Line(dc, pointer.x, plot.top, pointer.x, plot.bottom);
    double best = double(kHoverRadius) * kHoverRadius;
    int nearest = -1;
    for (uint32_t s = 0; s < frame.SeriesCount(); ++s) {
        const PlotFrameSeries& series = frame.Series(s);
        if (series.hidden || !series.hasNearest)
            continue;
        double dx = X(series.nearestTime) - pointer.x, dy = Y(series.nearestValue) - pointer.y;
        if (dx * dx + dy * dy <= best) {
            best = dx * dx + dy * dy;
            nearest = int(s);
        }
    }
    int64_t bias = PlotAxis::LocalBias();
    wchar_t time[PlotAxis::kMaxLabel], text[kHoverText];
    if (nearest >= 0) {
        const PlotFrameSeries& series = frame.Series(uint32_t(nearest));
        char value[PlotNumber::kMaxText];
        PlotNumber::Format(series.nearestValue, value, sizeof value);
        PlotAxis::FormatTime(series.nearestTime, kHoverTimeStep, bias, time, PlotAxis::kMaxLabel);
        _snwprintf(text, kHoverText, L"%s   %s = %S", time, series.name, value);
        int x = Clamp(X(series.nearestTime)), y = Clamp(Y(series.nearestValue));
        SetDCBrushColor(dc, PlotPalette::OfSeries(uint32_t(nearest)));
        PatBlt(dc, x - kMarker, y - kMarker, 2 * kMarker + 1, 2 * kMarker + 1, PATCOPY);
    } else {
        int64_t at = m_scale.start + int64_t((pointer.x - plot.left) / m_scale.pixelsPerMicrosecond);
        wchar_t value[PlotAxis::kMaxLabel];
        PlotAxis::FormatValue(m_scale.low + (plot.bottom - 1 - pointer.y) / m_scale.pixelsPerValue, m_valueDecimals + 1,
                              value, PlotAxis::kMaxLabel);
        PlotAxis::FormatTime(at, kHoverTimeStep, bias, time, PlotAxis::kMaxLabel);
        _snwprintf(text, kHoverText, L"%s   %s", time, value);
    }
    text[kHoverText - 1] = 0;
    PaintLabelBox(dc, pointer.x + 2 * kGap, pointer.y + 2 * kGap, text);
}

void C_PlotPainter::PaintLegend(HDC dc, const C_PlotFrame& frame) const {
    const RECT& plot = m_scale.plot;
    int width = 0, rows = 0;
    wchar_t entries[C_PlotData::kMaxSeries][PlotParser::kMaxNameLength + PlotNumber::kMaxText + 4];
    for (uint32_t s = 0; s < frame.SeriesCount(); ++s) {
        const PlotFrameSeries& series = frame.Series(s);
        char value[PlotNumber::kMaxText] = "";
        if (series.hasLatest)
            PlotNumber::Format(series.latest, value, sizeof value);
        _snwprintf(entries[s], sizeof entries[s] / sizeof(wchar_t), L"%s  %S", series.name, value);
        entries[s][sizeof entries[s] / sizeof(wchar_t) - 1] = 0;
        if (series.hidden)
            continue;
        SIZE size = TextSize(dc, entries[s]);
        width = size.cx > width ? size.cx : width;
        ++rows;
    }
    if (!rows)
        return;
    RECT box = {plot.left + kGap, plot.top + kGap, plot.left + 3 * kGap + kLegendSwatch + width + kGap,
                plot.top + 2 * kGap + rows * m_textHeight};
    FillRectangle(dc, box, PlotPalette::kHoverBox);
    int y = box.top + kGap / 2;
    for (uint32_t s = 0; s < frame.SeriesCount(); ++s) {
        if (frame.Series(s).hidden)
            continue;
        COLORREF colour = PlotPalette::OfSeries(s);
        SetDCPenColor(dc, colour);
        Line(dc, box.left + kGap, y + m_textHeight / 2, box.left + kGap + kLegendSwatch, y + m_textHeight / 2);
        SetTextColor(dc, colour);
        RECT text = {box.left + 2 * kGap + kLegendSwatch, y, box.right, y + m_textHeight};
        DrawTextW(dc, entries[s], -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        y += m_textHeight;
    }
}
