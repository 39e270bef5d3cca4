// The painter draws what the reduction keeps, the right way up, into top-down and bottom-up pictures alike.
#include "ui/plot/PlotPainter.h"

#include "ui/plot/PlotPalette.h"

#include <gtest/gtest.h>

namespace {

// The rows in which a column of the picture shows the colour, top to bottom: first and last, or -1.
struct Rows {
    int first = -1;
    int last = -1;
};

class Picture {
public:
    Picture(SIZE size, bool topDown) : m_size(size) {
        C_WindowDc screen(nullptr);
        m_dc.Reset(CreateCompatibleDC(screen.Get()));
        BITMAPINFO info = {};
        info.bmiHeader = {
            sizeof(BITMAPINFOHEADER), size.cx, topDown ? -size.cy : size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_bitmap.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
        m_previous = SelectObject(m_dc.Get(), m_bitmap.Get());
    }
    ~Picture() { SelectObject(m_dc.Get(), m_previous); }
    HDC Dc() const { return m_dc.Get(); }
    Rows Column(int x, COLORREF colour) const {
        Rows rows;
        for (int y = 0; y < m_size.cy; ++y) {
            if (GetPixel(m_dc.Get(), x, y) != colour)
                continue;
            rows.first = rows.first < 0 ? y : rows.first;
            rows.last = y;
        }
        return rows;
    }

private:
    SIZE m_size;
    C_MemoryDc m_dc;
    C_Bitmap m_bitmap;
    HGDIOBJ m_previous;
};

TEST(PlotPainter, ARisingDenseSeriesRisesInTopDownAndBottomUpPictures) {
    C_PlotData data;
    for (int i = 0; i < 5000; ++i) {
        PlotParser::Sample sample{L"v", 1, 0, double(i) / 50}; // 0 to 100, ten points a pixel column
        data.AddLine(1000 + i, &sample, 1);
    }
    const SIZE size = {600, 300};
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (bool topDown : {true, false}) {
        Picture picture(size, topDown);
        RECT plot = C_PlotPainter::PlotRect(picture.Dc(), font, size);
        C_PlotFrame frame;
        ASSERT_TRUE(frame.Take(data, 1000, 6000, uint32_t(plot.right - plot.left), 0, C_PlotFrame::kNoHover));
        C_PlotPainter painter;
        painter.Paint(picture.Dc(), size, frame, {font, L"", false, {0, 0}, PlotPaintOptions::PAINT_PLAIN});
        GdiFlush();
        Rows left = picture.Column(plot.left + 1, PlotPalette::OfSeries(0));
        Rows right = picture.Column(plot.right - 2, PlotPalette::OfSeries(0));
        ASSERT_GE(left.first, 0) << topDown;
        ASSERT_GE(right.first, 0) << topDown;
        EXPECT_GT(left.first, (plot.top + plot.bottom) / 2) << "the low start is drawn low; top-down " << topDown;
        EXPECT_LT(right.last, (plot.top + plot.bottom) / 2) << "the high end is drawn high; top-down " << topDown;
    }
}

} // namespace
