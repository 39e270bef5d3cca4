#pragma once
// C_PlotWindow: the modeless window that plots the numbers of the received lines, owned by the main window. It
// shows the chosen span up to now, scrolling, or stays where it is while paused (the wheel then zooms the time
// axis and dragging pans); a legend beside it lists every series in its colour with its latest value, and a
// click on an entry hides or shows the series. The picture is made at most every 50 ms, and only when the data
// or the shown time changed by a pixel; the data's lock is held only while a frame is taken. "Save as PNG"
// writes the picture with a legend of its own, "Save as CSV" the values, in steps that keep the window
// answering and can be cancelled.
//
// While the window object lives it watches the thread's keys through a message hook: Ctrl+Shift+P opens and
// closes the plot wherever the focus is (the main window's modal loop owns the only message loop), and while the
// window is open its own keys (Tab, Esc) and the wheel over the plot reach it.
#include "foundation/base/File.h"
#include "foundation/base/TextString.h"
#include "platform/system/Handles.h"
#include "platform/window/LayoutManager.h"
#include "terminal/plot/PlotCsv.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "terminal/plot/PlotViewport.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/MessageWatch.h"
#include "ui/framework/StringTable.h"
#include "ui/plot/PlotArea.h"
#include "ui/plot/PlotFrame.h"
#include "ui/plot/PlotPainter.h"

#include <cstdint>

enum class PlotFileKind { Png, Csv };

// What the plot window needs of the main window.
class C_PlotHost {
public:
    // The toolbar's Plot button: pressed while the window is open.
    virtual void SetPlotButtonState(bool open) = 0;
    // The file to save to, asked with the system's save dialog; false when the user cancelled.
    virtual bool AskPlotSavePath(HWND owner, PlotFileKind kind, C_String& path) = 0;

protected:
    ~C_PlotHost() = default;
};

class C_PlotWindow : public C_Dialog, private C_PlotAreaHost {
public:
    static constexpr UINT_PTR TIMER_PLOT_REFRESH = 25;
    static constexpr UINT_PTR TIMER_PLOT_CSV = 26;
    static constexpr UINT kRefreshMs = 50;
    static constexpr UINT kCsvStepMs = 1;
    static constexpr double kZoomPerNotch = 1.25;
    static constexpr wchar_t kToggleKey = L'P'; // with Ctrl and Shift

    C_PlotWindow(C_PlotData& data, C_PlotFeed& feed, C_PlotHost& host) : m_data(&data), m_feed(&feed), m_host(host) {}
    ~C_PlotWindow() override;

    // Ctrl+Shift+P posts toggleMessage to owner from now on, for as long as this object lives.
    void WatchKeys(HWND owner, UINT toggleMessage);
    // Where the window's place is kept ("Plot" under the program's key unless a test says otherwise).
    void SetPlacementKey(HKEY root, const wchar_t* keyPath);
    // The time span in seconds (one of C_PlotViewport::kSpans), kept for the next opening.
    void SetSpanSeconds(uint32_t seconds) { m_viewport.SetSpanSeconds(seconds); }
    uint32_t SpanSeconds() const { return m_viewport.SpanSeconds(); }

    // Closes the open window; otherwise opens it over owner. Data is collected while it is open.
    void Toggle(HINSTANCE instance, HWND owner);
    bool IsOpen() const { return GetWindow() != nullptr; }
    // Empties the plot (the main window's Clear).
    void Clear();
    // Plots other series from now on (the tab in front changed); an open window has its feed collect and an export
    // under way ends. Both must outlive the window or the next Attach.
    void Attach(C_PlotData& data, C_PlotFeed& feed);

    // For tests: the picture as last rendered, the series' hidden bits and the legend's entries.
    const C_PlotArea& Area() const { return m_area; }
    uint32_t HiddenMask() const { return m_hidden; }
    bool IsPaused() const { return m_viewport.IsPaused(); }
    uint32_t RenderCount() const { return m_renders; }

protected:
    INT_PTR OnInitDialog() override;
    INT_PTR OnEnd(INT_PTR result) override;
    INT_PTR OnCommand(WORD id, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnDestroy() override;

private:
    // PlotWindow.cpp: opening, closing, controls, refreshing.
    void SetTexts();
    void FillSpans();
    void InitLegend();
    void PlaceOverOwner();
    void OnRefreshTimer();
    void Render();
    bool RenderInto(HDC dc, SIZE size, uint32_t flags);
    void UpdateLegend();
    INT_PTR OnLegendNotify(const NMHDR* header);
    void TogglePause();
    void OnSpanChosen();
    void Stop();
    void OnSize();
    HFONT Font() const;
    // C_PlotAreaHost
    void OnPlotPointer(POINT point, bool inside) override;
    void OnPlotWheel(double notches, POINT point) override;
    void OnPlotDrag(int dx) override;

    // PlotWindowSave.cpp: the two exports.
    void SavePng();
    void SaveCsv();
    void OnCsvTimer();
    void EndCsv(bool keepFile);
    void ShowCsvProgress();
    void ReportSaveFailure(const wchar_t* path, DWORD error);

    // PlotWindowKeys.cpp: the message hook.
    friend class C_MessageWatch<C_PlotWindow>;
    bool TakeMessage(MSG& message);

    C_PlotData* m_data;
    C_PlotFeed* m_feed;
    C_PlotHost& m_host;
    C_PlotViewport m_viewport;
    C_PlotArea m_area;
    C_LayoutManager m_layout;
    C_PlotFrame m_frame;
    C_PlotPainter m_painter;
    C_StringTable m_strings;
    C_String m_waiting;
    uint32_t m_hidden = 0;
    uint32_t m_renderedRevision = UINT32_MAX;
    int64_t m_renderedEnd = 0; // the shown window's end at the last picture
    bool m_dirty = true;       // something other than the data or the time changed
    bool m_hover = false;
    POINT m_pointer{};
    uint32_t m_legendCount = 0;
    uint32_t m_legendGeneration = 0;
    uint32_t m_renders = 0;
    C_String m_legendValues[C_PlotData::kMaxSeries];
    HKEY m_placementRoot = HKEY_CURRENT_USER;
    C_String m_placementPath;
    // The CSV export under way.
    C_PlotCsvExport m_csv;
    C_File m_csvFile;
    C_String m_csvPath;
    bool m_csvRunning = false;
    // The key watch.
    C_MessageWatch<C_PlotWindow> m_keyWatch;
    HWND m_keyOwner = nullptr;
    UINT m_toggleMessage = 0;
};
