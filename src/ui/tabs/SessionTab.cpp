#include "ui/tabs/SessionTab.h"

#include "foundation/settings/Options.h"

C_SessionTab::C_SessionTab(std::unique_ptr<C_PortSession> session, C_SessionTabHost& host)
    : m_session(std::move(session)), m_host(host), m_view(m_session->Store()), m_hex(m_session->Journal()) {
    m_view.SetSendSink(this);
    m_view.SetHost(this);
    m_view.SetFilter(&m_session->Filter());
    m_view.SetTimeStamps(&m_session->Stamps());
    m_view.SetKeyModeSource(&m_session->Assembly().Interpreter());
    m_hex.SetSendSink(this);
    m_hex.SetHost(this);
    m_hex.SetKeyModeSource(&m_session->Assembly().Interpreter());
}

// The reader ends before the views it writes through go.
C_SessionTab::~C_SessionTab() {
    m_session->Stop();
    m_hex.Destroy();
    m_view.Destroy();
}

// Wired before the windows exist, so their first fonts and first paint already follow the options.
bool C_SessionTab::CreateViews(HWND parent, const C_PersistedOptions& options) {
    ApplyOptions(options);
    const RECT nowhere{0, 0, 1, 1};
    if (!m_view.Create(parent, nowhere) || !m_hex.Create(parent, nowhere, 0, C_HexView::Visibility::Hidden))
        return false;
    ShowWindow(m_view.GetWindow(), SW_HIDE);
    return true;
}

void C_SessionTab::ApplyOptions(const C_PersistedOptions& options) {
    const wchar_t* enter = LineEndText(options.enterSends);
    m_view.SetEnterText(enter);
    m_hex.SetEnterText(enter);
    m_session->Assembly().SetLocalEcho((options.flags & FLAG_LOCAL_ECHO) != 0);
    C_TimeStamps& stamps = m_session->Stamps();
    stamps.SetPicture(options.timeFormat.c_str());
    stamps.SetPowerLine(options.powerLine.c_str());
    stamps.SetAnimationCharacters(options.animationChars.c_str());
    m_view.SetFontOptions(options.fontName.c_str(), options.fontSize, options.flags, options.powerLine.c_str());
    m_hex.SetFontOptions(options.fontName.c_str(), options.fontSize, options.flags);
    if (m_view.GetWindow()) {
        m_view.CreateFonts();
        m_hex.CreateFonts();
    }
    m_hex.SetTimesShown(!options.timeFormat.IsEmpty());
}

void C_SessionTab::SetControlIds(UINT viewId, UINT hexId) {
    SetWindowLongPtrW(m_view.GetWindow(), GWLP_ID, LONG_PTR(viewId));
    SetWindowLongPtrW(m_hex.GetWindow(), GWLP_ID, LONG_PTR(hexId));
}

void C_SessionTab::Place(const RECT& area) {
    const int width = area.right > area.left ? area.right - area.left : 0;
    const int height = area.bottom > area.top ? area.bottom - area.top : 0;
    constexpr UINT kFlags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(m_view.GetWindow(), nullptr, area.left, area.top, width, height, kFlags);
    SetWindowPos(m_hex.GetWindow(), nullptr, area.left, area.top, width, height, kFlags);
}

void C_SessionTab::Show(bool shown) {
    m_shown = shown;
    ShowWindow(m_view.GetWindow(), shown && !m_hexShown ? SW_SHOW : SW_HIDE);
    m_hex.Show(shown && m_hexShown ? C_HexView::Visibility::Shown : C_HexView::Visibility::Hidden);
}

void C_SessionTab::ShowHex(bool hex) {
    m_hexShown = hex;
    Show(m_shown);
}

void C_SessionTab::Focus() {
    if (m_hexShown)
        SetFocus(m_hex.GetWindow());
    else
        m_view.Focus();
}

// The plot shows the stored lines' numbers, so it starts again with them.
void C_SessionTab::Clear() {
    m_view.Clear();
    m_hex.Clear();
    m_session->PlotData().Clear();
}

bool C_SessionTab::Search(const wchar_t* text, uint32_t searchFlags, int64_t start) {
    return m_hexShown ? m_hex.Search(text, searchFlags, start) : m_view.Search(text, searchFlags, start);
}

// The reader thread, at each line the filter hides; the window's timer animates the indicator.
void C_SessionTab::NoteActivity() {
    if (m_hiddenLines.Note(GetTickCount64()))
        m_session->NoteHiddenLine();
}
