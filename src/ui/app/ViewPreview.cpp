// velto-view-preview.exe -f CAPTURE [-c COLUMNS] [-r ROWS] [-font FACE] [-z SIZE] [-up ROWS]
//                        [-select ROW,COLUMN,ROW,COLUMN] [-hover ROW,COLUMN] [-s SECONDS]
// Replays a file of received bytes into a terminal view of the given size in cells, the way a reader thread hands
// a port's data over, and shows it. After the replay it can scroll up, select (by a mouse drag) and put the mouse
// over a cell, so a script can photograph those states; it ends when closed, or by itself after the given seconds.
// Rows and columns of -select and -hover count from 0 at the top left of the window.
#include <windows.h>

#include <commctrl.h>

#include "foundation/settings/Options.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "ui/framework/CommandLine.h"
#include "ui/framework/ResourceIds.h"
#include "ui/view/TerminalView.h"

#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr const wchar_t* kFrameClass = L"VeltoViewPreview";
constexpr const wchar_t* kTitle = L"Velto view preview";
constexpr const wchar_t* kFallbackFace = L"DejaVu Sans Mono";
constexpr UINT WM_REPLAY_DONE = WM_APP + 1;
constexpr UINT_PTR kEndTimer = 1;
constexpr UINT_PTR kPointerSubclass = 1;
constexpr UINT kMillisecondsPerSecond = 1000;
constexpr uint32_t kBlockSize = 4096; // what a reader hands over per read
constexpr int64_t kDefaultColumns = 100;
constexpr int64_t kDefaultRows = 30;

struct Cell {
    int row = -1;
    int column = -1;
};

struct PreviewOptions {
    C_String capture;
    C_String face;
    int columns = int(kDefaultColumns);
    int rows = int(kDefaultRows);
    uint32_t fontSize = C_PersistedOptions::kDefaultFontSize;
    int scrollUpRows = 0;
    Cell selectFrom, selectTo, hover;
    UINT seconds = 0;
};

bool ReadFileBytes(const wchar_t* path, std::string& bytes) {
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return false;
    char buffer[kBlockSize];
    size_t read;
    while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, read);
    fclose(file);
    return true;
}

class C_Preview {
public:
    explicit C_Preview(const PreviewOptions& options) : m_options(options) {}

    ~C_Preview() {
        if (m_reader.joinable())
            m_reader.join();
    }

    bool Create(HINSTANCE instance) {
        WNDCLASSEXW frameClass = {};
        frameClass.cbSize = sizeof(frameClass);
        frameClass.lpfnWndProc = FrameProcedure;
        frameClass.hInstance = instance;
        frameClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        frameClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
        frameClass.lpszClassName = kFrameClass;
        if (!RegisterClassExW(&frameClass))
            return false;
        std::wstring title = std::wstring(kTitle) + L" - " + m_options.capture.c_str();
        m_frame = CreateWindowExW(0, kFrameClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300,
                                  nullptr, nullptr, instance, this);
        if (!m_frame)
            return false;
        m_view.SetFontOptions(m_options.face.c_str(), m_options.fontSize, 0, C_PersistedOptions::kDefaultPowerLine);
        m_view.SetKeyModeSource(&m_assembly.Interpreter());
        RECT client;
        GetClientRect(m_frame, &client);
        if (!m_view.Create(m_frame, client))
            return false;
        FitToCells();
        ShowWindow(m_frame, SW_SHOW);
        m_view.Focus();
        if (m_options.seconds)
            SetTimer(m_frame, kEndTimer, m_options.seconds * kMillisecondsPerSecond, nullptr);
        return true;
    }

    // The capture goes to the view in reader-sized blocks on a thread of its own, as a port's data would.
    void StartReplay(std::string bytes) {
        m_reader = std::thread([this, data = std::move(bytes)] {
            m_assembly.ResetFlushTime();
            for (size_t at = 0; at < data.size(); at += kBlockSize) {
                size_t count = data.size() - at < kBlockSize ? data.size() - at : kBlockSize;
                m_assembly.ProcessReceivedData(reinterpret_cast<const uint8_t*>(data.data() + at), uint32_t(count));
            }
            m_assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
            PostMessageW(m_frame, WM_REPLAY_DONE, 0, 0);
        });
    }

private:
    static LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* preview = reinterpret_cast<C_Preview*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_SIZE:
            if (preview && preview->m_view.GetWindow())
                MoveWindow(preview->m_view.GetWindow(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (preview)
                preview->m_view.Focus();
            return 0;
        case WM_REPLAY_DONE:
            preview->AfterReplay();
            return 0;
        case WM_TIMER:
            if (wParam == kEndTimer)
                DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    // The frame is sized so the view's client area holds exactly the asked cells.
    void FitToCells() {
        HWND view = m_view.GetWindow();
        RECT rect = {0, 0, m_options.columns * m_view.CharacterWidth() + 2 * C_TerminalView::kMargin,
                     m_options.rows * m_view.RowHeight() + 2 * C_TerminalView::kMargin};
        AdjustWindowRectEx(&rect, DWORD(GetWindowLongW(view, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongW(view, GWL_EXSTYLE)));
        rect.right += GetSystemMetrics(SM_CXVSCROLL);
        AdjustWindowRectEx(&rect, DWORD(GetWindowLongW(m_frame, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongW(m_frame, GWL_EXSTYLE)));
        SetWindowPos(m_frame, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }

    POINT CellCentre(const Cell& cell) const {
        return {C_TerminalView::kMargin + cell.column * m_view.CharacterWidth() + m_view.CharacterWidth() / 2,
                C_TerminalView::kMargin + cell.row * m_view.RowHeight() + m_view.RowHeight() / 2};
    }

    void AfterReplay() {
        HWND view = m_view.GetWindow();
        // The wheel, as a user scrolls: a notch of WHEEL_DELTA is one row.
        if (m_options.scrollUpRows > 0)
            SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, m_options.scrollUpRows * WHEEL_DELTA), 0);
        if (m_options.selectFrom.row >= 0 && m_options.selectTo.row >= 0) {
            POINT from = CellCentre(m_options.selectFrom);
            POINT to = CellCentre(m_options.selectTo);
            SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
            SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
            SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        }
        if (m_options.hover.row >= 0) {
            m_hover = CellCentre(m_options.hover);
            POINT screen = m_hover;
            ClientToScreen(view, &screen);
            SetCursorPos(screen.x, screen.y);
            // The pointer the view chooses for that place; pictures of an X screen leave the real one out, so it
            // is drawn over the view after each of its paints.
            SendMessageW(view, WM_SETCURSOR, WPARAM(view), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            m_pointer = GetCursor();
            if (m_pointer && SetWindowSubclass(view, DrawPointerAfterPaint, kPointerSubclass, DWORD_PTR(this)))
                InvalidateRect(view, nullptr, FALSE);
        }
    }

    static LRESULT CALLBACK DrawPointerAfterPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                  DWORD_PTR data) {
        if (message == WM_NCDESTROY)
            RemoveWindowSubclass(window, DrawPointerAfterPaint, kPointerSubclass);
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (message == WM_PAINT)
            reinterpret_cast<C_Preview*>(data)->DrawPointer(window);
        return result;
    }

    void DrawPointer(HWND view) {
        ICONINFO info = {};
        if (!GetIconInfo(m_pointer, &info))
            return;
        C_Bitmap mask(info.hbmMask);
        C_Bitmap colour(info.hbmColor);
        C_WindowDc dc(view);
        DrawIconEx(dc.Get(), m_hover.x - int(info.xHotspot), m_hover.y - int(info.yHotspot), m_pointer, 0, 0, 0,
                   nullptr, DI_NORMAL);
    }

    const PreviewOptions& m_options;
    HWND m_frame = nullptr;
    C_TerminalView m_view;
    C_ReceiveAssembly m_assembly{m_view.Store()};
    std::thread m_reader;
    POINT m_hover{};
    HCURSOR m_pointer = nullptr; // shared, not ours to destroy
};

bool ReadCell(const C_CommandLine& commandLine, const wchar_t* name, Cell& first, Cell* second) {
    C_String text;
    if (!commandLine.GetText(name, text))
        return true;
    int read = second ? swscanf(text.c_str(), L"%d,%d,%d,%d", &first.row, &first.column, &second->row, &second->column)
                      : swscanf(text.c_str(), L"%d,%d", &first.row, &first.column);
    return read == (second ? 4 : 2);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    C_CommandLine commandLine;
    commandLine.Declare(L"f", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"c", C_CommandLine::KIND_DECIMAL, kDefaultColumns);
    commandLine.Declare(L"r", C_CommandLine::KIND_DECIMAL, kDefaultRows);
    commandLine.Declare(L"font", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"z", C_CommandLine::KIND_DECIMAL, C_PersistedOptions::kDefaultFontSize);
    commandLine.Declare(L"up", C_CommandLine::KIND_DECIMAL);
    commandLine.Declare(L"select", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"hover", C_CommandLine::KIND_TEXT);
    commandLine.Declare(L"s", C_CommandLine::KIND_DECIMAL);
    commandLine.Parse();

    PreviewOptions options;
    std::string bytes;
    if (!commandLine.GetText(L"f", options.capture) || !ReadFileBytes(options.capture.c_str(), bytes))
        return 2;
    if (!commandLine.GetText(L"font", options.face)) {
        C_PersistedOptions defaults;
        defaults.ChooseDefaultFont();
        options.face.Assign(defaults.fontName.IsEmpty() ? kFallbackFace : defaults.fontName.c_str());
    }
    options.columns = int(commandLine.GetNumber(L"c"));
    options.rows = int(commandLine.GetNumber(L"r"));
    options.fontSize = uint32_t(commandLine.GetNumber(L"z"));
    options.scrollUpRows = int(commandLine.GetNumber(L"up"));
    options.seconds = UINT(commandLine.GetNumber(L"s"));
    if (options.columns <= 0 || options.rows <= 0 ||
        !ReadCell(commandLine, L"select", options.selectFrom, &options.selectTo) ||
        !ReadCell(commandLine, L"hover", options.hover, nullptr))
        return 2;

    C_Preview preview(options);
    if (!preview.Create(instance))
        return 1;
    preview.StartReplay(std::move(bytes));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
