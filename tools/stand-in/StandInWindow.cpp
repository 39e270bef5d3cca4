// The connection's header first: it brings the socket library's header, which must precede the system's.
#include "connection/manager/Connection.h"
#include "stand-in/StandInWindow.h"
#include "connection/discovery/BoardNames.h"
#include "connection/discovery/Tags.h"

#include <dbt.h>

namespace {

constexpr const wchar_t* kWindowClass = L"VeltoStandInWindow";
constexpr const wchar_t* kMissingText = L"?";

// What the command thread hands to the window's thread; sent, so the sender's texts stay valid meanwhile.
constexpr UINT WM_STAND_IN_TITLE = WM_APP + 0x40;
constexpr UINT WM_STAND_IN_OPTIONS_TEXT = WM_APP + 0x41;
constexpr UINT WM_STAND_IN_REOPEN_TIMER = WM_APP + 0x42;
constexpr UINT WM_STAND_IN_REMEMBER_LINES = WM_APP + 0x50; // lParam: RememberedLines

struct RememberedLines {
    const wchar_t* port;
    uint8_t lines;
    bool raised;
};

struct EnglishEntry {
    unsigned id;
    const wchar_t* text;
};

constexpr EnglishEntry kEnglishTexts[] = {
    {kOptionsTextId, L"Options"},
    {kPortWasTextId, L"was %s"},
    {STATUS_SEARCHING, L"Searching for serial port"},
    {STATUS_OPENING, L"Opening serial port"},
    {STATUS_OPENED, L"Successfully opened serial port"},
    {STATUS_OPEN_FAILED, L"Can't open serial port"},
    {STATUS_CLOSING, L"Closing serial port"},
    {STATUS_CLOSED, L"Closed serial port"},
    {kRefusalTitleId, L"Line control refused"},
    {REFUSED_LINE, L"%s does not support %s"},
    {REFUSED_FLOW_CONTROL, L"%s does not support %s flow control"},
    {REFUSED_MODEM_LINES, L"%s does not support DTR/RTS control"},
    {REFUSED_BREAK, L"%s does not support sending a break"},
};

void RegisterWindowClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW; // replaced per window, once its object is attached
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass); // fails harmlessly when already registered
}

} // namespace

C_StandInWindow::C_StandInWindow(C_StandInObserver& observer) : m_observer(observer) {
    RegisterWindowClass();
    // A hidden top-level window rather than a message-only one: only top-level windows hear of devices.
    m_window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!m_window)
        return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&C_StandInWindow::Procedure));
}

C_StandInWindow::~C_StandInWindow() {
    if (m_window)
        DestroyWindow(m_window);
}

const wchar_t* C_StandInWindow::EnglishText(unsigned id) {
    for (const EnglishEntry& entry : kEnglishTexts)
        if (entry.id == id)
            return entry.text;
    return kMissingText;
}

void C_StandInWindow::SetTitleSuffix(const wchar_t* text) {
    SendMessageW(m_window, WM_STAND_IN_TITLE, 0, reinterpret_cast<LPARAM>(text));
}

void C_StandInWindow::SetOptionsButtonText(const wchar_t* text) {
    SendMessageW(m_window, WM_STAND_IN_OPTIONS_TEXT, 0, reinterpret_cast<LPARAM>(text));
}

void C_StandInWindow::SetReopenTimer(bool running) {
    SendMessageW(m_window, WM_STAND_IN_REOPEN_TIMER, running, 0);
}

void C_StandInWindow::RememberModemLines(const wchar_t* port, uint8_t lines, bool raised) {
    RememberedLines remembered{port, lines, raised};
    SendMessageW(m_window, WM_STAND_IN_REMEMBER_LINES, 0, reinterpret_cast<LPARAM>(&remembered));
}

void C_StandInWindow::LoadTag(const wchar_t* key, C_String& tag) {
    tag.Empty();
    if (!m_tags || !key)
        return;
    const auto board = m_boardKeys.find(key);
    Tags::LoadTag(*m_tags, board == m_boardKeys.end() ? key : board->second.c_str(), tag);
}

void C_StandInWindow::NoteBoardListed(const wchar_t* identity, const wchar_t* devicePath, C_String& former) {
    former.Empty();
    C_String key;
    if (!m_tags || !identity)
        return;
    BoardNames::Former(*m_tags, identity, devicePath, former);
    if (BoardNames::ValuesKey(*m_tags, identity, devicePath, key))
        m_boardKeys[identity] = key.c_str();
}

LRESULT CALLBACK C_StandInWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<C_StandInWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->Handle(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool C_StandInWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SHOW_STATUS:
        m_observer.OnStatus(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
        result = 1;
        return true;
    case WM_PORTS_CHANGED:
        OnPortsChanged(wParam);
        return true;
    case WM_STAND_IN_TITLE:
        m_observer.OnTitleSuffix(reinterpret_cast<const wchar_t*>(lParam));
        return true;
    case WM_STAND_IN_OPTIONS_TEXT:
        m_observer.OnOptionsText(reinterpret_cast<const wchar_t*>(lParam));
        return true;
    case WM_STAND_IN_REOPEN_TIMER:
        if (wParam)
            SetTimer(m_window, TIMER_REOPEN, kReopenIntervalMs, nullptr);
        else
            KillTimer(m_window, TIMER_REOPEN);
        m_observer.OnReopenTimer(wParam != 0);
        return true;
    case WM_STAND_IN_REMEMBER_LINES: {
        const auto* remembered = reinterpret_cast<const RememberedLines*>(lParam);
        m_observer.OnModemLinesRemembered(remembered->port, remembered->lines, remembered->raised);
        return true;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return true;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        result = TRUE;
        return true;
    default:
        return false;
    }
}

void C_StandInWindow::OnPortsChanged(WPARAM number) {
    m_observer.OnPortsChanged(number);
    C_String target;
    if (number == PORTS_CHANGED_REOPEN && m_connection && !m_selectedPort.IsEmpty() && !m_connection->IsOpen() &&
        m_connection->ReopenTarget(m_selectedPort.c_str(), target) && m_selectedPort.Assign(target))
        m_connection->OpenTarget(target.c_str());
}

void C_StandInWindow::OnTimer(UINT_PTR timer) {
    if (timer != TIMER_REOPEN || !m_connection)
        return;
    C_String name;
    m_connection->GetName(name);
    m_connection->OpenTarget(name.c_str());
}

void C_StandInWindow::OnDeviceChange(WPARAM event, LPARAM data) {
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)
        return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header && header->dbch_devicetype == DBT_DEVTYP_PORT && m_connection)
        m_connection->RefreshPorts(PORTS_CHANGED_REOPEN);
}
