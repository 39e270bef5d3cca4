// The plot window's exports: the picture as PNG, the values as CSV.
#include "ui/plot/PlotWindow.h"

#include "ui/framework/ResourceIds.h"
#include "ui/plot/PngFile.h"

namespace {

constexpr WORD kBitsPerPixel = 32;
constexpr uint32_t kBytesPerPixel = 4;

// A picture of its own for the file, so what the window shows (the pointer's label) stays out of it.
struct C_Picture {
    bool Make(SIZE size) {
        C_WindowDc screen(nullptr);
        dc.Reset(CreateCompatibleDC(screen.Get()));
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = kBitsPerPixel;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap.Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
        if (!dc || !bitmap)
            return false;
        selected = SelectObject(dc.Get(), bitmap.Get());
        return true;
    }
    ~C_Picture() {
        if (dc && selected)
            SelectObject(dc.Get(), selected);
    }
    C_MemoryDc dc;
    C_Bitmap bitmap;
    void* pixels = nullptr;
    HGDIOBJ selected = nullptr;
};

} // namespace

void C_PlotWindow::SavePng() {
    C_String path;
    if (!m_host.AskPlotSavePath(GetWindow(), PlotFileKind::Png, path))
        return;
    SIZE size = m_area.Size();
    C_Picture picture;
    if (!picture.Make(size) || !RenderInto(picture.dc.Get(), size, PlotPaintOptions::PAINT_LEGEND)) {
        ReportSaveFailure(path.c_str(), ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    HRESULT result = PngFile::Write(path.c_str(), static_cast<const uint8_t*>(picture.pixels), uint32_t(size.cx),
                                    uint32_t(size.cy), uint32_t(size.cx) * kBytesPerPixel);
    if (FAILED(result))
        ReportSaveFailure(path.c_str(), DWORD(result));
}

// The button starts an export, and cancels the one under way.
void C_PlotWindow::SaveCsv() {
    if (m_csvRunning) {
        EndCsv(false);
        return;
    }
    if (!m_host.AskPlotSavePath(GetWindow(), PlotFileKind::Csv, m_csvPath))
        return;
    if (!m_csvFile.Open(m_csvPath.c_str(), C_File::MODE_WRITE_CREATE)) {
        ReportSaveFailure(m_csvPath.c_str(), GetLastError());
        return;
    }
    m_csv.Begin(*m_data);
    m_csvRunning = true;
    OnCsvTimer();
    if (m_csvRunning)
        SetTimer(GetWindow(), TIMER_PLOT_CSV, kCsvStepMs, nullptr);
}

void C_PlotWindow::OnCsvTimer() {
    switch (m_csv.Write(*m_data, m_csvFile)) {
    case C_PlotCsvExport::Step::More:
        ShowCsvProgress();
        return;
    case C_PlotCsvExport::Step::Done:
        EndCsv(true);
        return;
    case C_PlotCsvExport::Step::WriteFailed: {
        DWORD error = GetLastError();
        EndCsv(false);
        ReportSaveFailure(m_csvPath.c_str(), error ? error : ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    }
}

// A cancelled or failed export leaves no half file behind.
void C_PlotWindow::EndCsv(bool keepFile) {
    KillTimer(GetWindow(), TIMER_PLOT_CSV);
    m_csvFile.Close();
    if (!keepFile)
        DeleteFileW(m_csvPath.c_str());
    m_csvRunning = false;
    SetItemText(IDC_PLOT_SAVE_CSV, m_strings.LoadString(IDS_PLOT_SAVE_CSV));
}

void C_PlotWindow::ShowCsvProgress() {
    C_String format, text;
    m_strings.LoadString(IDS_PLOT_CANCEL_SAVING, format);
    text.Format(format.c_str(), m_csv.Percent());
    SetItemText(IDC_PLOT_SAVE_CSV, text.c_str());
}

void C_PlotWindow::ReportSaveFailure(const wchar_t* path, DWORD error) {
    C_LocalMemory reason;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(reason.Receive()), 0, nullptr);
    C_String format, text, title;
    m_strings.LoadString(IDS_PLOT_SAVE_FAILED, format);
    m_strings.LoadString(IDS_PLOT, title);
    text.Format(format.c_str(), path, reason ? static_cast<const wchar_t*>(reason.Get()) : L"");
    MessageBoxW(GetWindow(), text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}
