// The plot window: opening and closing, its controls, the legend and the refresh. The exports are in
// PlotWindowSave.cpp, the key watch in PlotWindowKeys.cpp.
#include "ui/plot/PlotWindow.h"

#include "foundation/settings/Options.h"
#include "platform/window/Dpi.h"
#include "terminal/plot/PlotNumber.h"
#include "ui/framework/ResourceIds.h"
#include "ui/framework/WindowPlacement.h"
#include "ui/plot/PlotPalette.h"

#include <commctrl.h>

#include <cmath>

namespace {

// Dialog units: the template's own size is the smallest that shows every control.
constexpr int kMinimumWidth = 300;
constexpr int kMinimumHeight = 160;
// From the main window's client edges, at 96 DPI: below the toolbar, at the right.
constexpr int kOwnerMargin = 24;
constexpr int kOwnerTopMargin = 64;
constexpr int kNameColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kNameShare = 55; // percent of the legend's width
constexpr int kPercent = 100;

} // namespace

C_PlotWindow::~C_PlotWindow() {
    m_keyWatch.Remove();
}

void C_PlotWindow::SetPlacementKey(HKEY root, const wchar_t* keyPath) {
    m_placementRoot = root;
    m_placementPath.Assign(keyPath);
}

void C_PlotWindow::Toggle(HINSTANCE instance, HWND owner) {
    if (IsOpen()) {
        End(0);
        return;
    }
    // A check button checks itself when clicked: the state is set again whether or not the window opens.
    m_strings.SetModule(instance);
    bool opened = RunModeless(instance, IDD_PLOT, STYLE_DARK_MODE_ALLOWED, owner) != nullptr;
    m_host.SetPlotButtonState(opened);
}

void C_PlotWindow::Clear() {
    m_data->Clear();
    m_dirty = true;
}

void C_PlotWindow::Attach(C_PlotData& data, C_PlotFeed& feed) {
    if (&data == m_data && &feed == m_feed)
        return;
    if (m_csvRunning)
        EndCsv(false);
    m_data = &data;
    m_feed = &feed;
    if (!IsOpen())
        return;
    m_feed->SetCollecting(true);
    m_renderedRevision = UINT32_MAX;
    m_dirty = true;
    m_legendCount = 0;
    m_hidden = 0;
    Render();
}

// --- opening and closing ---------------------------------------------------------------------------------

INT_PTR C_PlotWindow::OnInitDialog() {
    SetIcon(IDI_PLOT);
    SetTexts();
    FillSpans();
    InitLegend();
    m_area.Create(GetWindow(), IDC_PLOT_AREA, this);
    m_layout.Clear();
    m_layout.Register(GetWindow(), m_area.GetWindow(),
                      C_LayoutManager::RULE_STRETCH_WIDTH | C_LayoutManager::RULE_STRETCH_HEIGHT);
    m_layout.Register(GetWindow(), GetItem(IDC_PLOT_LEGEND),
                      C_LayoutManager::RULE_MOVE_RIGHT | C_LayoutManager::RULE_STRETCH_HEIGHT);
    SetMinimumSize(kMinimumWidth, kMinimumHeight, true);
    const wchar_t* path = m_placementPath.IsEmpty() ? kSettingsKeyPath : m_placementPath.c_str();
    if (!WindowPlacement::Restore(GetWindow(), m_placementRoot, path, SettingName::PlotPlacement, 0))
        PlaceOverOwner();
    OnSize();
    m_feed->SetCollecting(true);
    m_renderedRevision = UINT32_MAX;
    m_dirty = true;
    m_legendCount = 0;
    Render();
    SetTimer(GetWindow(), TIMER_PLOT_REFRESH, kRefreshMs, nullptr);
    return TRUE;
}

void C_PlotWindow::SetTexts() {
    SetWindowTextW(GetWindow(), m_strings.LoadString(IDS_PLOT));
    SetItemText(IDC_PLOT_SPAN_LABEL, m_strings.LoadString(IDS_PLOT_SPAN));
    SetItemText(IDC_PLOT_PAUSE, m_strings.LoadString(IDS_PLOT_PAUSE));
    SetItemText(IDC_PLOT_SAVE_PNG, m_strings.LoadString(IDS_PLOT_SAVE_PNG));
    SetItemText(IDC_PLOT_SAVE_CSV, m_strings.LoadString(IDS_PLOT_SAVE_CSV));
    m_strings.LoadString(IDS_PLOT_WAITING, m_waiting);
    CheckItem(IDC_PLOT_PAUSE, m_viewport.IsPaused());
}

void C_PlotWindow::FillSpans() {
    C_String format, text;
    m_strings.LoadString(IDS_PLOT_SECONDS, format);
    for (uint32_t i = 0; i < sizeof C_PlotViewport::kSpans / sizeof C_PlotViewport::kSpans[0]; ++i) {
        text.Format(format.c_str(), C_PlotViewport::kSpans[i]);
        SendItemMessage(IDC_PLOT_SPAN, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (C_PlotViewport::kSpans[i] == m_viewport.SpanSeconds())
            SendItemMessage(IDC_PLOT_SPAN, CB_SETCURSEL, i);
    }
}

// The legend shares the plot's dark background; each entry is drawn in its series' colour (OnLegendNotify).
void C_PlotWindow::InitLegend() {
    HWND legend = GetItem(IDC_PLOT_LEGEND);
    ListView_SetExtendedListViewStyle(legend, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    ListView_SetBkColor(legend, PlotPalette::kBackground);
    ListView_SetTextBkColor(legend, PlotPalette::kBackground);
    ListView_DeleteAllItems(legend);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 1;
    if (!ListView_GetColumnWidth(legend, kNameColumn)) {
        ListView_InsertColumn(legend, kNameColumn, &column);
        ListView_InsertColumn(legend, kValueColumn, &column);
    }
}

// Until the user has put it somewhere, the window opens at the upper right of the main window, below the toolbar.
void C_PlotWindow::PlaceOverOwner() {
    HWND owner = ::GetWindow(GetWindow(), GW_OWNER);
    RECT client, window;
    if (!owner || !GetClientRect(owner, &client) || !GetWindowRect(GetWindow(), &window))
        return;
    MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&client), 2);
    UINT dpi = Dpi::ForWindow(owner);
    int x = client.right - (window.right - window.left) - Dpi::Scale(kOwnerMargin, dpi);
    int y = client.top + Dpi::Scale(kOwnerTopMargin, dpi);
    SetWindowPos(GetWindow(), nullptr, x > client.left ? x : client.left, y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void C_PlotWindow::Stop() {
    KillTimer(GetWindow(), TIMER_PLOT_REFRESH);
    if (m_csvRunning)
        EndCsv(false);
    m_feed->SetCollecting(false);
    m_hover = false;
}

INT_PTR C_PlotWindow::OnEnd(INT_PTR) {
    Stop();
    const wchar_t* path = m_placementPath.IsEmpty() ? kSettingsKeyPath : m_placementPath.c_str();
    WindowPlacement::Save(GetWindow(), m_placementRoot, path, SettingName::PlotPlacement, 0);
    m_host.SetPlotButtonState(false);
    return 1;
}

// Destroyed with its owner rather than closed: nothing may go on collecting for a window that is gone.
INT_PTR C_PlotWindow::OnDestroy() {
    Stop();
    return C_Dialog::OnDestroy();
}

// --- messages ----------------------------------------------------------------------------------------------

INT_PTR C_PlotWindow::OnCommand(WORD id, WPARAM wParam, LPARAM lParam) {
    switch (id) {
    case IDC_PLOT_PAUSE:
        if (HIWORD(wParam) == BN_CLICKED)
            TogglePause();
        return TRUE;
    case IDC_PLOT_SPAN:
        if (HIWORD(wParam) == CBN_SELCHANGE)
            OnSpanChosen();
        return TRUE;
    case IDC_PLOT_SAVE_PNG:
        SavePng();
        return TRUE;
    case IDC_PLOT_SAVE_CSV:
        SaveCsv();
        return TRUE;
    default:
        return C_Dialog::OnCommand(id, wParam, lParam);
    }
}

INT_PTR C_PlotWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == TIMER_PLOT_REFRESH)
            OnRefreshTimer();
        else if (wParam == TIMER_PLOT_CSV)
            OnCsvTimer();
        else
            break;
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            OnSize();
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_PLOT_LEGEND)
            return OnLegendNotify(header);
        break;
    }
    default:
        break;
    }
    return C_Dialog::OnMessage(message, wParam, lParam);
}

void C_PlotWindow::OnSize() {
    m_layout.Apply();
    HWND legend = GetItem(IDC_PLOT_LEGEND);
    RECT client{};
    GetClientRect(legend, &client);
    int name = client.right * kNameShare / kPercent;
    ListView_SetColumnWidth(legend, kNameColumn, name);
    ListView_SetColumnWidth(legend, kValueColumn, client.right - name);
    m_dirty = true;
}

HFONT C_PlotWindow::Font() const {
    return reinterpret_cast<HFONT>(SendMessageW(GetWindow(), WM_GETFONT, 0, 0));
}

void C_PlotWindow::TogglePause() {
    if (IsItemChecked(IDC_PLOT_PAUSE))
        m_viewport.Pause(SystemPlotClock().Microseconds());
    else
        m_viewport.Resume();
    m_dirty = true;
}

void C_PlotWindow::OnSpanChosen() {
    LRESULT index = SendItemMessage(IDC_PLOT_SPAN, CB_GETCURSEL);
    if (index >= 0 && size_t(index) < sizeof C_PlotViewport::kSpans / sizeof C_PlotViewport::kSpans[0])
        m_viewport.SetSpanSeconds(C_PlotViewport::kSpans[index]);
    m_dirty = true;
}

// --- the picture -------------------------------------------------------------------------------------------

// A new picture when something else changed, a line arrived, or the shown time moved by a pixel.
void C_PlotWindow::OnRefreshTimer() {
    int64_t start, end;
    m_viewport.Window(SystemPlotClock().Microseconds(), start, end);
    double pixel = m_painter.MicrosecondsPerPixel();
    bool moved = double(end > m_renderedEnd ? end - m_renderedEnd : m_renderedEnd - end) >= pixel;
    if (m_dirty || moved || m_data->Revision() != m_renderedRevision)
        Render();
}

void C_PlotWindow::Render() {
    uint32_t revision = m_data->Revision();
    HDC dc = m_area.BackBuffer();
    if (!dc || !RenderInto(dc, m_area.Size(), PlotPaintOptions::PAINT_PLAIN))
        return;
    m_area.Show();
    m_renderedRevision = revision;
    m_dirty = false;
    UpdateLegend();
    ++m_renders;
}

bool C_PlotWindow::RenderInto(HDC dc, SIZE size, uint32_t flags) {
    int64_t start, end;
    m_viewport.Window(SystemPlotClock().Microseconds(), start, end);
    RECT plot = C_PlotPainter::PlotRect(dc, Font(), size);
    int64_t hoverTime = C_PlotFrame::kNoHover;
    bool hover = m_hover && !(flags & PlotPaintOptions::PAINT_LEGEND);
    if (hover && m_pointer.x >= plot.left && m_pointer.x < plot.right)
        hoverTime = start + (end - start) * (m_pointer.x - plot.left) / (plot.right - plot.left);
    if (!m_frame.Take(*m_data, start, end, uint32_t(plot.right - plot.left), m_hidden, hoverTime, m_viewport.Newest()))
        return false;
    PlotPaintOptions options = {Font(), m_waiting.c_str(), hover, m_pointer, flags};
    m_painter.Paint(dc, size, m_frame, options);
    GdiFlush();
    m_renderedEnd = end;
    return true;
}

// --- the legend --------------------------------------------------------------------------------------------

// Entries are added as series appear and rebuilt when the data was cleared, which also shows every new series
// again; a value is set only when its text changed, so the legend does not flicker at every picture.
void C_PlotWindow::UpdateLegend() {
    HWND legend = GetItem(IDC_PLOT_LEGEND);
    uint32_t count = m_frame.SeriesCount();
    if (count < m_legendCount || m_frame.Generation() != m_legendGeneration) {
        ListView_DeleteAllItems(legend);
        m_legendCount = 0;
        m_legendGeneration = m_frame.Generation();
        if (m_hidden) {
            m_hidden = 0;
            m_dirty = true;
        }
    }
    for (; m_legendCount < count; ++m_legendCount) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = int(m_legendCount);
        item.pszText = const_cast<wchar_t*>(m_frame.Series(m_legendCount).name);
        ListView_InsertItem(legend, &item);
        m_legendValues[m_legendCount].Empty();
    }
    for (uint32_t s = 0; s < count; ++s) {
        char narrow[PlotNumber::kMaxText] = "";
        if (m_frame.Series(s).hasLatest)
            PlotNumber::Format(m_frame.Series(s).latest, narrow, sizeof narrow);
        C_String value;
        value.Assign(narrow);
        if (value.Compare(m_legendValues[s].c_str()) == 0)
            continue;
        m_legendValues[s].Assign(value);
        ListView_SetItemText(legend, int(s), kValueColumn, const_cast<wchar_t*>(m_legendValues[s].c_str()));
    }
}

INT_PTR C_PlotWindow::OnLegendNotify(const NMHDR* header) {
    HWND legend = header->hwndFrom;
    int item = -1;
    if (header->code == NM_CLICK)
        item = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
    else if (header->code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE)
        item = ListView_GetNextItem(legend, -1, LVNI_FOCUSED);
    if (item >= 0 && item < int(C_PlotData::kMaxSeries)) {
        m_hidden ^= 1u << item;
        m_dirty = true;
        ListView_RedrawItems(legend, item, item);
        return TRUE;
    }
    if (header->code != NM_CUSTOMDRAW)
        return FALSE;
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header));
    LRESULT result = CDRF_DODEFAULT;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        uint32_t index = uint32_t(draw->nmcd.dwItemSpec);
        draw->clrText = (m_hidden >> index) & 1 ? PlotPalette::kHidden : PlotPalette::OfSeries(index);
        draw->clrTextBk = PlotPalette::kBackground;
        draw->nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS); // the colours are the entry's state
    }
    SetMessageResult(result);
    return TRUE;
}

// --- the pointer -------------------------------------------------------------------------------------------

void C_PlotWindow::OnPlotPointer(POINT point, bool inside) {
    m_hover = inside;
    m_pointer = point;
    m_dirty = true;
}

void C_PlotWindow::OnPlotWheel(double notches, POINT point) {
    if (!m_viewport.IsPaused())
        return;
    const RECT& plot = m_painter.LastPlotRect();
    double width = double(plot.right - plot.left);
    m_viewport.Zoom(std::pow(kZoomPerNotch, notches), width > 0 ? double(point.x - plot.left) / width : 1);
    m_dirty = true;
}

void C_PlotWindow::OnPlotDrag(int dx) {
    if (!m_viewport.IsPaused())
        return;
    m_viewport.Pan(-int64_t(double(dx) * m_painter.MicrosecondsPerPixel()));
    m_dirty = true;
}
