#include "ui/dialogs/SendBar.h"

#include "connection/sending/SendText.h"
#include "ui/framework/NumberText.h"
#include "ui/framework/ResourceIds.h"

#include <commctrl.h>

namespace {

struct ControlText {
    int control;
    UINT text;
};
constexpr ControlText kTexts[] = {
    {IDC_SEND_HEX, IDS_HEX},
    {IDC_SEND_BUTTON, IDS_SEND},
    {IDC_SEND_FILE, IDS_SEND_FILE},
    {IDC_SEND_STOP, IDS_STOP},
};

struct ProblemText {
    SendText::Problem problem;
    UINT text; // with the character's number as %u, where it has one
};
constexpr ProblemText kProblems[] = {
    {SendText::Problem::UnknownEscape, IDS_NOT_SENT_UNKNOWN_ESCAPE},
    {SendText::Problem::LoneBackslash, IDS_NOT_SENT_LONE_BACKSLASH},
    {SendText::Problem::ShortHexEscape, IDS_NOT_SENT_SHORT_HEX_ESCAPE},
    {SendText::Problem::NotHexDigit, IDS_NOT_SENT_NOT_HEX},
    {SendText::Problem::HalfByte, IDS_NOT_SENT_HALF_BYTE},
};

struct OutcomeText {
    FileSendState state;
    UINT text; // name, bytes sent, total
};
constexpr OutcomeText kOutcomes[] = {
    {FileSendState::Running, IDS_FILE_SENDING},        {FileSendState::Cancelled, IDS_FILE_CANCELLED},
    {FileSendState::PortClosed, IDS_FILE_PORT_CLOSED}, {FileSendState::WriteFailed, IDS_FILE_WRITE_FAILED},
    {FileSendState::ReadFailed, IDS_FILE_READ_FAILED},
};

constexpr UINT kDpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT

bool Held(int key) {
    return GetKeyState(key) < 0;
}

bool OnlyControlAndShiftHeld() {
    return Held(VK_CONTROL) && Held(VK_SHIFT) && !Held(VK_MENU);
}

} // namespace

// --- life ------------------------------------------------------------------------------------------------

bool C_SendBar::Create(HINSTANCE instance, HWND parent, UINT controlId) {
    m_strings.SetModule(instance);
    HWND window = RunModeless(instance, IDD_SEND_BAR, 0, parent);
    if (!window)
        return false;
    SetWindowLongPtrW(window, GWLP_ID, LONG_PTR(controlId));
    return true;
}

INT_PTR C_SendBar::OnInitDialog() {
    SetTexts();
    SendItemMessage(IDC_SEND_PROGRESS, PBM_SETRANGE32, 0, kProgressRange);
    m_fieldKeys.AttachTo(GetItem(IDC_SEND_TEXT));
    RegisterLayout();
    SetMode(m_mode);
    return TRUE;
}

void C_SendBar::SetTexts() {
    for (const ControlText& entry : kTexts)
        SetItemText(entry.control, m_strings.LoadString(entry.text));
}

// The field and the status take what the width gives; the buttons keep to the right edge.
void C_SendBar::RegisterLayout() {
    HWND window = GetWindow();
    m_layout.Register(window, GetItem(IDC_SEND_TEXT), C_LayoutManager::RULE_STRETCH_WIDTH);
    m_layout.Register(window, GetItem(IDC_SEND_BUTTON), C_LayoutManager::RULE_MOVE_RIGHT);
    m_layout.Register(window, GetItem(IDC_SEND_FILE), C_LayoutManager::RULE_MOVE_RIGHT);
    m_layout.Register(window, GetItem(IDC_SEND_STATUS), C_LayoutManager::RULE_STRETCH_WIDTH);
    m_layout.Register(window, GetItem(IDC_SEND_STOP), C_LayoutManager::RULE_MOVE_RIGHT);
}

void C_SendBar::Show(bool visible) {
    if (GetWindow())
        ShowWindow(GetWindow(), visible ? SW_SHOW : SW_HIDE);
}

bool C_SendBar::HasFocus() const {
    HWND focus = GetFocus();
    return GetWindow() && focus && (focus == GetWindow() || IsChild(GetWindow(), focus));
}

void C_SendBar::FocusField() {
    if (HWND field = GetItem(IDC_SEND_TEXT)) {
        SetFocus(field);
        SendMessageW(field, EM_SETSEL, 0, -1);
    }
}

int C_SendBar::Height() const {
    RECT rows = {0, 0, 0, m_row == Row::Hidden ? kRowHeight : 2 * kRowHeight + kRowGap};
    if (GetWindow())
        MapDialogRect(GetWindow(), &rows);
    return rows.bottom;
}

void C_SendBar::SetMode(SendMode mode) {
    m_mode = mode;
    if (!GetWindow())
        return; // OnInitDialog shows it
    CheckItem(IDC_SEND_HEX, mode == SendMode::Hex);
    SendItemMessage(
        IDC_SEND_TEXT, EM_SETCUEBANNER, TRUE,
        reinterpret_cast<LPARAM>(m_strings.LoadString(mode == SendMode::Hex ? IDS_SEND_CUE_HEX : IDS_SEND_CUE_TEXT)));
    OnFieldChanged();
}

std::wstring C_SendBar::FieldText() const {
    C_String text;
    GetItemText(IDC_SEND_TEXT, text);
    return std::wstring(text.c_str(), text.GetLength());
}

// --- sending ---------------------------------------------------------------------------------------------

bool C_SendBar::ParseField(std::string& bytes, SendText::Error& error) {
    const std::wstring text = FieldText();
    return m_mode == SendMode::Hex ? SendText::ParseHexBytes(text, bytes, error)
                                   : SendText::DecodeEscapes(text, bytes, error);
}

// Text goes with the line end Enter sends; hex bytes are a packet and go exactly as written.
void C_SendBar::SendField() {
    std::string bytes;
    SendText::Error error;
    if (!ParseField(bytes, error)) {
        ShowProblem(error);
        return;
    }
    if (m_mode == SendMode::Text)
        for (const wchar_t* end = m_enterText; *end; ++end)
            bytes += char(*end);
    if (bytes.empty())
        return;
    if (!m_host.SendLine(bytes)) {
        ShowMessage(m_strings.LoadString(IDS_NOT_SENT_NO_PORT));
        return;
    }
    const std::wstring text = FieldText();
    if (!text.empty())
        m_history.Add({text, m_mode});
    m_history.EndWalk();
    if (m_row == Row::Message)
        SetRow(Row::Hidden);
    SendItemMessage(IDC_SEND_TEXT, EM_SETSEL, 0, -1);
}

void C_SendBar::ShowProblem(const SendText::Error& error) {
    UINT text = IDS_NOT_SENT_UNKNOWN_ESCAPE;
    for (const ProblemText& entry : kProblems)
        if (entry.problem == error.problem)
            text = entry.text;
    C_String message;
    message.Format(m_strings.LoadString(text), unsigned(error.position + 1));
    ShowMessage(message.c_str());
    SendItemMessage(IDC_SEND_TEXT, EM_SETSEL, WPARAM(error.position), LPARAM(error.position + error.length));
    SetFocus(GetItem(IDC_SEND_TEXT));
}

// A fault shows in red as it is typed, without moving anything about.
void C_SendBar::OnFieldChanged() {
    std::string bytes;
    SendText::Error error;
    const bool faulty = !ParseField(bytes, error);
    if (faulty != m_fieldFaulty) {
        m_fieldFaulty = faulty;
        InvalidateRect(GetItem(IDC_SEND_TEXT), nullptr, TRUE);
    }
}

// The field keeps its bytes: what it holds is turned into the other form when it can be read. A faulty text
// stays as it is, for the user to mend.
void C_SendBar::OnModeClicked() {
    const SendMode mode = IsItemChecked(IDC_SEND_HEX) ? SendMode::Hex : SendMode::Text;
    if (mode == m_mode)
        return;
    std::string bytes;
    SendText::Error error;
    const bool readable = ParseField(bytes, error);
    m_mode = mode;
    if (readable) {
        const std::wstring text =
            mode == SendMode::Hex ? SendText::FormatHexBytes(bytes) : SendText::EscapeBytes(bytes);
        SetItemText(IDC_SEND_TEXT, text.c_str());
    }
    SetMode(mode);
}

void C_SendBar::Recall(bool older) {
    SendHistoryEntry shown;
    const bool moved = older ? m_history.Older({FieldText(), m_mode}, shown) : m_history.Newer(shown);
    if (!moved)
        return;
    SetItemText(IDC_SEND_TEXT, shown.text.c_str());
    SetMode(shown.mode);
    const LPARAM end = LPARAM(shown.text.size());
    SendItemMessage(IDC_SEND_TEXT, EM_SETSEL, WPARAM(end), end);
}

// --- the second row --------------------------------------------------------------------------------------

void C_SendBar::ShowFileProgress(const FileSendProgress& progress, const wchar_t* name) {
    C_String sent, total, status;
    NumberText::FormatCount(progress.sent, sent);
    NumberText::FormatCount(progress.total, total);
    if (progress.state == FileSendState::Finished) {
        status.Format(m_strings.LoadString(IDS_FILE_SENT), name, sent.c_str());
    } else if (progress.state == FileSendState::OpenFailed) {
        status.Format(m_strings.LoadString(IDS_FILE_OPEN_FAILED), name);
    } else {
        UINT text = IDS_FILE_SENDING;
        for (const OutcomeText& entry : kOutcomes)
            if (entry.state == progress.state)
                text = entry.text;
        status.Format(m_strings.LoadString(text), name, sent.c_str(), total.c_str());
    }
    const uint64_t position = progress.total ? progress.sent * kProgressRange / progress.total : 0;
    SendItemMessage(IDC_SEND_PROGRESS, PBM_SETPOS, WPARAM(position), 0);
    SetItemText(IDC_SEND_STATUS, status.c_str());
    SetRow(progress.state == FileSendState::Running ? Row::FileRunning : Row::FileEnded);
}

void C_SendBar::ShowFileWaiting(const wchar_t* name, uint64_t size) {
    C_String count, status;
    NumberText::FormatCount(size, count);
    status.Format(m_strings.LoadString(IDS_FILE_WAITING), name, count.c_str());
    SendItemMessage(IDC_SEND_PROGRESS, PBM_SETPOS, 0, 0);
    SetItemText(IDC_SEND_STATUS, status.c_str());
    SetRow(Row::FileRunning);
}

void C_SendBar::ShowMessage(const wchar_t* text) {
    if (m_row == Row::FileRunning)
        return; // the running send's progress stays in view; the field's colour still shows a fault
    SetItemText(IDC_SEND_STATUS, text);
    SetRow(Row::Message);
}

// While a file goes the button stops it and Send File waits; afterwards the button puts the row away.
void C_SendBar::SetRow(Row row) {
    const bool resized = (row == Row::Hidden) != (m_row == Row::Hidden);
    m_row = row;
    const bool file = row == Row::FileRunning || row == Row::FileEnded;
    ShowWindow(GetItem(IDC_SEND_PROGRESS), file ? SW_SHOW : SW_HIDE);
    for (UINT control : {IDC_SEND_STATUS, IDC_SEND_STOP})
        ShowWindow(GetItem(int(control)), row != Row::Hidden ? SW_SHOW : SW_HIDE);
    SetItemText(IDC_SEND_STOP, m_strings.LoadString(row == Row::FileRunning ? IDS_STOP : IDS_OK));
    EnableWindow(GetItem(IDC_SEND_FILE), row != Row::FileRunning);
    if (resized)
        m_host.SendBarResized();
}

void C_SendBar::OnStop() {
    if (m_row == Row::FileRunning) {
        m_host.CancelFileSend();
        return;
    }
    const bool focusInRow = GetFocus() == GetItem(IDC_SEND_STOP);
    SetRow(Row::Hidden);
    if (focusInRow)
        FocusField();
}

void C_SendBar::OnEscape() {
    if (m_row == Row::FileRunning)
        m_host.CancelFileSend();
    else if (m_row != Row::Hidden)
        OnStop();
    else
        m_host.LeaveSendBar();
}

// --- messages --------------------------------------------------------------------------------------------

INT_PTR C_SendBar::OnCommand(WORD id, WPARAM wParam, LPARAM) {
    switch (id) {
    case IDC_SEND_TEXT:
        if (HIWORD(wParam) == EN_CHANGE)
            OnFieldChanged();
        return TRUE;
    case IDC_SEND_HEX:
        OnModeClicked();
        return TRUE;
    case IDC_SEND_BUTTON:
        SendField();
        return TRUE;
    case IDC_SEND_FILE:
        m_host.ChooseFileToSend();
        return TRUE;
    case IDC_SEND_STOP:
        OnStop();
        return TRUE;
    default:
        return FALSE; // a bar is never ended by a command
    }
}

INT_PTR C_SendBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        m_layout.Apply();
        return FALSE;
    case kDpiChangedAfterParent: // the system has scaled the controls: their places are the new reference
        m_layout.Remeasure();
        return FALSE;
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == GetItem(IDC_SEND_TEXT) && m_fieldFaulty)
            return reinterpret_cast<INT_PTR>(FieldColours(reinterpret_cast<HDC>(wParam), HWND(lParam)));
        break;
    default:
        break;
    }
    return C_Dialog::OnMessage(message, wParam, lParam);
}

// The field's usual colours, with the text in red.
HBRUSH C_SendBar::FieldColours(HDC dc, HWND control) {
    INT_PTR brush = C_Dialog::OnMessage(WM_CTLCOLOREDIT, WPARAM(dc), LPARAM(control));
    if (!brush) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        brush = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    }
    SetTextColor(dc, kProblemColour);
    return reinterpret_cast<HBRUSH>(brush);
}

// --- the field's keys ------------------------------------------------------------------------------------

LRESULT C_SendBar::FieldKeys::OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        const auto* queued = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = DefaultProcedure(message, wParam, lParam);
        if (queued && queued->message == WM_KEYDOWN &&
            (queued->wParam == VK_RETURN || queued->wParam == VK_ESCAPE || queued->wParam == VK_UP ||
             queued->wParam == VK_DOWN))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (OnKeyDown(wParam))
            return 0;
        break;
    case WM_CHAR:
        // Enter and Esc were acted on at their key; Ctrl+Shift+S and Ctrl+Shift+O are no characters to type.
        if (wParam == L'\r' || wParam == 0x1B || ((wParam == 0x13 || wParam == 0x0F) && OnlyControlAndShiftHeld()))
            return 0;
        break;
    default:
        break;
    }
    return DefaultProcedure(message, wParam, lParam);
}

bool C_SendBar::FieldKeys::OnKeyDown(WPARAM key) {
    switch (key) {
    case VK_RETURN:
        m_bar.SendField();
        return true;
    case VK_ESCAPE:
        m_bar.OnEscape();
        return true;
    case VK_UP:
    case VK_DOWN:
        m_bar.Recall(key == VK_UP);
        return true;
    case 'S':
        if (!OnlyControlAndShiftHeld())
            return false;
        m_bar.m_host.ToggleSendBar();
        return true;
    case 'O':
        if (!OnlyControlAndShiftHeld())
            return false;
        m_bar.m_host.ChooseFileToSend();
        return true;
    default:
        return false;
    }
}
