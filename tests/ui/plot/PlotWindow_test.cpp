// The plot window on a real window: series drawn in their colours, the legend's latest values, a click on a legend
// entry hiding and showing its series, pause holding the picture while data keeps coming, and the PNG file.
#include "ui/plot/PlotWindow.h"

#include "terminal/plot/PlotParser.h"
#include "ui/framework/ResourceIds.h"
#include "ui/plot/PlotPalette.h"
#include "ui/plot/PngFile.h"

#include "support/TempFolder.h"
#include "ui/UiTestSupport.h"

#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kTestKey = L"Software\\Brannick\\VeltoTest\\Plot";

class RecordingHost final : public C_PlotHost {
public:
    void SetPlotButtonState(bool open) override { buttons.push_back(open); }
    bool AskPlotSavePath(HWND, PlotFileKind, C_String& path) override { return path.Assign(savePath.c_str()); }
    std::vector<bool> buttons;
    std::wstring savePath;
};

struct PlotFixture {
    PlotFixture() {
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        window.SetPlacementKey(HKEY_CURRENT_USER, kTestKey);
        window.SetSpanSeconds(10);
        window.Toggle(GetModuleHandleW(nullptr), owner);
    }
    ~PlotFixture() {
        if (window.IsOpen())
            window.Toggle(GetModuleHandleW(nullptr), owner);
        DestroyWindow(owner);
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
    }
    // A line as the reader hands it on, stamped now.
    void Receive(const std::wstring& line) {
        std::wstring text = line + L"\n";
        feed.TakeShownText(text.data(), uint32_t(text.size()));
    }
    uint32_t Pixels(COLORREF colour) const {
        const C_PlotArea& area = window.Area();
        const uint32_t* pixels = reinterpret_cast<const uint32_t*>(area.Pixels());
        uint32_t wanted = uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
        uint32_t count = 0;
        for (LONG i = 0; pixels && i < area.Size().cx * area.Size().cy; ++i)
            count += (pixels[i] & 0xFFFFFF) == wanted;
        return count;
    }
    std::wstring Legend(int item, int column) {
        wchar_t text[64] = {};
        ListView_GetItemText(GetDlgItem(window.GetWindow(), IDC_PLOT_LEGEND), item, column, text, 64);
        return text;
    }
    void ClickLegend(int item) {
        HWND legend = GetDlgItem(window.GetWindow(), IDC_PLOT_LEGEND);
        RECT rect{};
        ListView_GetItemRect(legend, item, &rect, LVIR_BOUNDS);
        LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        SendMessageW(legend, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(legend, WM_LBUTTONUP, 0, at);
    }

    HWND owner = nullptr;
    C_PlotData data;
    C_PlotFeed feed{data};
    RecordingHost host;
    C_PlotWindow window{data, feed, host};
};

TEST(PlotWindow, DrawsTwoSeriesWithTheirLatestValuesAndALegendClickHidesAndShowsOne) {
    PlotFixture plot;
    ASSERT_TRUE(plot.window.IsOpen());
    EXPECT_EQ(plot.host.buttons, std::vector<bool>({true}));
    EXPECT_TRUE(plot.feed.IsCollecting());
    for (int i = 0; i < 50; ++i)
        plot.Receive(L"temp=" + std::to_wstring(40 + i % 7) + L" fan=" + std::to_wstring(1200 + 10 * (i % 3)));
    plot.Receive(L"temp=41.5 fan=1210");
    const COLORREF temp = PlotPalette::OfSeries(0), fan = PlotPalette::OfSeries(1);
    ASSERT_TRUE(PumpUntil([&] { return plot.Legend(1, 1) == L"1210" && plot.Pixels(temp) && plot.Pixels(fan); }));
    EXPECT_EQ(plot.Legend(0, 0), L"temp");
    EXPECT_EQ(plot.Legend(0, 1), L"41.5");

    plot.ClickLegend(0);
    EXPECT_EQ(plot.window.HiddenMask(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return plot.Pixels(temp) == 0; }));
    EXPECT_GT(plot.Pixels(fan), 0u);
    plot.ClickLegend(0);
    ASSERT_TRUE(PumpUntil([&] { return plot.Pixels(temp) > 0; }));

    // Cleared, the legend starts again with the new series, none of them hidden.
    plot.ClickLegend(0);
    plot.window.Clear();
    plot.Receive(L"rpm=7 temp=1");
    ASSERT_TRUE(PumpUntil([&] { return plot.Legend(0, 0) == L"rpm" && plot.Legend(1, 1) == L"1"; }));
    EXPECT_EQ(plot.window.HiddenMask(), 0u);

    plot.window.Toggle(GetModuleHandleW(nullptr), plot.owner);
    EXPECT_EQ(plot.host.buttons, std::vector<bool>({true, false}));
    EXPECT_FALSE(plot.feed.IsCollecting());
}

TEST(PlotWindow, PausedThePictureStaysWhileTheLegendFollowsTheData) {
    PlotFixture plot;
    plot.Receive(L"v=1");
    plot.Receive(L"v=5");
    ASSERT_TRUE(PumpUntil([&] { return plot.Legend(0, 1) == L"5"; }));
    CheckDlgButton(plot.window.GetWindow(), IDC_PLOT_PAUSE, BST_CHECKED);
    SendMessageW(plot.window.GetWindow(), WM_COMMAND, MAKEWPARAM(IDC_PLOT_PAUSE, BN_CLICKED), 0);
    ASSERT_TRUE(plot.window.IsPaused());
    uint32_t renders = plot.window.RenderCount();
    ASSERT_TRUE(PumpUntil([&] { return plot.window.RenderCount() > renders; }));
    const C_PlotArea& area = plot.window.Area();
    std::vector<uint8_t> paused(area.Pixels(), area.Pixels() + 4 * area.Size().cx * area.Size().cy);
    plot.Receive(L"v=-100");
    ASSERT_TRUE(PumpUntil([&] { return plot.Legend(0, 1) == L"-100"; }));
    // The new point lies after the paused window: neither the line nor the scale moved.
    EXPECT_TRUE(std::equal(paused.begin(), paused.end(), area.Pixels()));
}

// What the window writes reads back through the system's decoder with every pixel as it was.
TEST(PngFile, APictureReadsBackPixelForPixel) {
    TempFolder folder;
    std::wstring path = folder.Path(L"picture.png");
    const uint32_t width = 7, height = 3;
    std::vector<uint32_t> pixels(width * height);
    for (uint32_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x00102030u * (i + 1) & 0x00FFFFFF;
    ASSERT_EQ(PngFile::Write(path.c_str(), reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4),
              S_OK);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        C_ComRef<IWICImagingFactory> factory;
        ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   factory.ReceiveVoid()),
                  S_OK);
        C_ComRef<IWICBitmapDecoder> decoder;
        ASSERT_EQ(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                     decoder.Receive()),
                  S_OK);
        C_ComRef<IWICBitmapFrameDecode> frame;
        ASSERT_EQ(decoder->GetFrame(0, frame.Receive()), S_OK);
        C_ComRef<IWICFormatConverter> converter;
        ASSERT_EQ(factory->CreateFormatConverter(converter.Receive()), S_OK);
        ASSERT_EQ(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom),
                  S_OK);
        std::vector<uint32_t> read(width * height);
        ASSERT_EQ(converter->CopyPixels(nullptr, width * 4, width * height * 4, reinterpret_cast<BYTE*>(read.data())),
                  S_OK);
        for (uint32_t& pixel : read)
            pixel &= 0x00FFFFFF;
        EXPECT_EQ(read, pixels);
    }
    CoUninitialize();
    EXPECT_EQ(PngFile::Write(folder.Path(L"missing\\picture.png").c_str(),
                             reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4) == S_OK,
              false);
}

} // namespace
