#include "maintenance/crash/ReportDialog.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

using Box = C_DialogTemplateWriter::Box;
using Writer = C_DialogTemplateWriter;

constexpr DWORD kDialogStyle =
    DS_SETFONT | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr Box kDialogBox = {0, 0, 428, 201};
constexpr const wchar_t* kFontFace = L"MS Sans Serif";
constexpr WORD kFontPoints = 8;
// The title is set in 12 points where the dialog uses 8.
constexpr int kTitleScaleNumerator = 3;
constexpr int kTitleScaleDenominator = 2;

constexpr COLORREF kBandColour = RGB(255, 255, 255);
constexpr COLORREF kTitleColour = RGB(9, 55, 117);
constexpr COLORREF kLabelColour = RGB(96, 96, 96);

constexpr DWORD kStaticText = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kLinkStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

constexpr const wchar_t* kTitleFormat = L"%s has stopped working.";
constexpr const wchar_t* kRequestFormat = L"Please tell %s about this problem.";
constexpr const wchar_t* kRequestLinkFormat =
    L"Please tell %s about this problem.\n\nYou can check the website <a href=\"%s\">%s</a> for a newer version.";
constexpr const wchar_t* kRequestPlainFormat =
    L"Please tell %s about this problem.\n\nYou can check the website '%s' for a newer version.";
constexpr const wchar_t* kFilesLinkFormat = L"The files <a href=\"%s\">%s</a> and <a href=\"%s\">%s</a> will be send. "
                                            L"They do not contain any personal information.";
constexpr const wchar_t* kFilesPlainFormat =
    L"The files %s and %s will be send. They do not contain any personal information.";
constexpr const wchar_t* kFileLinkFormat =
    L"The file <a href=\"%s\">%s</a> will be send. It does not contain any personal information.";
constexpr const wchar_t* kFilePlainFormat = L"The file %s will be send. It does not contain any personal information.";
constexpr const wchar_t* kDescriptionLabel = L"Can you please describe what you were doing when the problem occurred?";
constexpr const wchar_t* kEmailLabel =
    L"Your E-mail address. It will be kept private. Only used to contact you for more details.";
constexpr const wchar_t* kCueBanner = L" optional";
constexpr const wchar_t* kSendText = L"Send Problem Report";
constexpr const wchar_t* kCancelText = L"Don't Send";
constexpr const wchar_t* kNoCompany = L"us";
constexpr const wchar_t* kWebPrefix = L"http://";

struct ControlEntry {
    Writer::ControlClass controlClass;
    WORD id;
    DWORD style;
    Box box;
    const wchar_t* text;
};

// Top to bottom in the window order. The white band comes last, at the bottom, and clips the controls above it
// so its painting never covers them.
constexpr ControlEntry kControls[] = {
    {Writer::CLASS_STATIC, C_ReportDialog::ID_ICON, WS_VISIBLE | SS_ICON, {10, 10, 20, 20}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_TITLE, kStaticText, {40, 12, 370, 14}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_REQUEST, kStaticText, {40, 35, 370, 26}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_DESCRIPTION_LABEL, kStaticText, {40, 74, 370, 8}, kDescriptionLabel},
    {Writer::CLASS_EDIT, C_ReportDialog::ID_DESCRIPTION, kEdit, {40, 86, 370, 14}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_EMAIL_LABEL, kStaticText, {40, 107, 370, 8}, kEmailLabel},
    {Writer::CLASS_EDIT, C_ReportDialog::ID_EMAIL, kEdit, {40, 119, 370, 14}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_FILES, kStaticText, {40, 144, 370, 18}, L""},
    {Writer::CLASS_STATIC, C_ReportDialog::ID_SEPARATOR, WS_VISIBLE | SS_ETCHEDHORZ, {0, 166, 429, 1}, L""},
    {Writer::CLASS_BUTTON,
     C_ReportDialog::ID_SEND,
     WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
     {241, 177, 100, 14},
     kSendText},
    {Writer::CLASS_BUTTON,
     C_ReportDialog::ID_CANCEL,
     WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
     {351, 177, 60, 14},
     kCancelText},
    {Writer::CLASS_STATIC, Writer::kNoId, WS_VISIBLE | WS_CLIPSIBLINGS | SS_WHITERECT, {0, 0, 429, 167}, L""},
};

bool IsGreyText(int id) {
    return id == C_ReportDialog::ID_DESCRIPTION_LABEL || id == C_ReportDialog::ID_EMAIL_LABEL ||
           id == C_ReportDialog::ID_FILES || id == C_ReportDialog::ID_FILES_LINK;
}

} // namespace

bool ExtractWebAddress(const wchar_t* text, C_String& out) {
    C_String source;
    if (!text || !source.Assign(text))
        return false;
    int start = source.FindNoCase(kWebPrefix);
    if (start < 0)
        return false;
    source.Mid(start);
    int end = source.FindChar(L']');
    if (end >= 0)
        source.Left(end);
    source.RemoveTrailingChar(L'/');
    return out.Assign(source);
}

C_ReportDialog::Result C_ReportDialog::Run(HINSTANCE instance, UINT iconId, const ReportDialogContent& content) {
    m_instance = instance;
    m_iconId = iconId;
    m_content = &content;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls); // without the link class the plain texts stay
    C_DialogTemplateWriter writer;
    if (!WriteTemplate(writer))
        return RESULT_FAILED;
    INT_PTR result = DialogBoxIndirectParamW(instance, writer.Get(), nullptr, Procedure, LPARAM(this));
    m_content = nullptr;
    return result == RESULT_SEND ? RESULT_SEND : result == RESULT_DONT_SEND ? RESULT_DONT_SEND : RESULT_FAILED;
}

bool C_ReportDialog::WriteTemplate(C_DialogTemplateWriter& writer) const {
    if (!writer.Begin(kDialogStyle, kDialogBox, m_content->productName, kFontPoints, kFontFace))
        return false;
    for (const ControlEntry& control : kControls)
        if (!writer.AddControl(control.controlClass, control.id, control.style, control.box, control.text))
            return false;
    return true;
}

INT_PTR CALLBACK C_ReportDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<C_ReportDialog*>(lParam)->m_window = window;
    }
    auto* dialog = reinterpret_cast<C_ReportDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return dialog ? dialog->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR C_ReportDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
        m_window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR C_ReportDialog::OnInitDialog() {
    SetUpIcon();
    SetUpTitle();
    SetUpRequest();
    SetUpEdit(ID_DESCRIPTION, kDescriptionLimit);
    SetUpEdit(ID_EMAIL, kEmailLimit);
    SetUpFiles();
    SetFocus(GetDlgItem(m_window, ID_DESCRIPTION));
    return FALSE; // the focus is set
}

void C_ReportDialog::SetUpIcon() {
    m_icon.Reset(static_cast<HICON>(LoadImageW(m_instance, MAKEINTRESOURCEW(m_iconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    if (m_icon)
        SendDlgItemMessageW(m_window, ID_ICON, STM_SETICON, WPARAM(m_icon.Get()), 0);
}

void C_ReportDialog::SetUpTitle() {
    C_String title;
    if (title.Format(kTitleFormat, m_content->productName))
        SetDlgItemTextW(m_window, ID_TITLE, title.c_str());
    LOGFONTW font;
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(m_window, WM_GETFONT, 0, 0));
    if (!dialogFont || !GetObjectW(dialogFont, sizeof font, &font))
        return;
    font.lfHeight = MulDiv(font.lfHeight, kTitleScaleNumerator, kTitleScaleDenominator);
    m_titleFont.Reset(CreateFontIndirectW(&font));
    if (m_titleFont)
        SendDlgItemMessageW(m_window, ID_TITLE, WM_SETFONT, WPARAM(m_titleFont.Get()), FALSE);
}

void C_ReportDialog::SetUpEdit(WORD id, int limit) {
    SendDlgItemMessageW(m_window, id, EM_LIMITTEXT, WPARAM(limit), 0);
    SendDlgItemMessageW(m_window, id, EM_SETCUEBANNER, TRUE, LPARAM(kCueBanner));
}

void C_ReportDialog::SetUpRequest() {
    const wchar_t* company = m_content->companyName && *m_content->companyName ? m_content->companyName : kNoCompany;
    const wchar_t* address = m_content->webAddress ? m_content->webAddress : L"";
    C_String markup, plain;
    if (!*address) {
        if (plain.Format(kRequestFormat, company))
            LayLink(ID_REQUEST, ID_REQUEST_LINK, plain.c_str(), plain.c_str());
        return;
    }
    const wchar_t* shown = address + wcslen(kWebPrefix); // ExtractWebAddress starts every address with it
    if (markup.Format(kRequestLinkFormat, company, address, shown) &&
        plain.Format(kRequestPlainFormat, company, address))
        LayLink(ID_REQUEST, ID_REQUEST_LINK, markup.c_str(), plain.c_str());
}

void C_ReportDialog::SetUpFiles() {
    const wchar_t* text = m_content->textPath ? m_content->textPath : L"";
    C_String markup, plain;
    bool formatted;
    if (m_content->dumpPath)
        formatted = markup.Format(kFilesLinkFormat, text, FileNameOf(text), m_content->dumpPath,
                                  FileNameOf(m_content->dumpPath)) &&
                    plain.Format(kFilesPlainFormat, text, m_content->dumpPath);
    else
        formatted = markup.Format(kFileLinkFormat, text, FileNameOf(text)) && plain.Format(kFilePlainFormat, text);
    if (formatted)
        LayLink(ID_FILES, ID_FILES_LINK, markup.c_str(), plain.c_str());
}

void C_ReportDialog::LayLink(WORD staticId, WORD linkId, const wchar_t* markup, const wchar_t* plain) {
    HWND label = GetDlgItem(m_window, staticId);
    SetWindowTextW(label, plain);
    RECT place;
    if (!GetWindowRect(label, &place))
        return;
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&place), 2);
    HWND link = CreateWindowExW(0, WC_LINK, markup, kLinkStyle, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, m_window, reinterpret_cast<HMENU>(UINT_PTR(linkId)),
                                m_instance, nullptr);
    if (!link)
        return;
    SendMessageW(link, WM_SETFONT, SendMessageW(m_window, WM_GETFONT, 0, 0), FALSE);
    // In the label's place in the window order, so the tab order and the white band's clipping hold.
    SetWindowPos(link, label, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(label, SW_HIDE);
}

INT_PTR C_ReportDialog::OnCommand(WORD id) {
    switch (id) {
    case ID_SEND:
        if (!ReadItem(ID_DESCRIPTION, kDescriptionLimit, m_description) || !ReadItem(ID_EMAIL, kEmailLimit, m_email))
            return TRUE; // a text that cannot be read is not sent as empty
        EndDialog(m_window, RESULT_SEND);
        return TRUE;
    case ID_CANCEL:
    case IDCANCEL:
        EndDialog(m_window, RESULT_DONT_SEND);
        return TRUE;
    default:
        return FALSE;
    }
}

bool C_ReportDialog::ReadItem(WORD id, int limit, C_String& out) const {
    if (!out.Empty(uint32_t(limit) + 1))
        return false;
    GetDlgItemTextW(m_window, id, out.GetBuffer(), limit + 1);
    out.UpdateLength();
    return true;
}

INT_PTR C_ReportDialog::OnColorStatic(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    if (id == ID_SEPARATOR)
        return FALSE;
    COLORREF colour = id == ID_TITLE ? kTitleColour : IsGreyText(id) ? kLabelColour : GetSysColor(COLOR_WINDOWTEXT);
    SetTextColor(dc, colour);
    SetBkColor(dc, kBandColour);
    return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

INT_PTR C_ReportDialog::OnNotify(const NMHDR& header) {
    if ((header.idFrom != ID_REQUEST_LINK && header.idFrom != ID_FILES_LINK) ||
        (header.code != NM_CLICK && header.code != NM_RETURN))
        return FALSE;
    const NMLINK& link = reinterpret_cast<const NMLINK&>(header);
    ShellExecuteW(m_window, L"open", link.item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
    return TRUE;
}
