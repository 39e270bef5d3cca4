// The tabs: which session is in front, opening and closing ports in them, and what the sessions report.
#include "ui/window/MainFrame.h"

#include "foundation/base/TextString.h"
#include "ui/framework/NumberText.h"
#include "ui/framework/ResourceIds.h"
#include "ui/window/MainWindowIds.h"
#include "ui/window/PasteGuard.h"

#include <cwchar>

C_SessionTab* C_MainFrame::Front() const {
    return TabOf(m_front);
}

C_SessionTab* C_MainFrame::TabOf(uint32_t id) const {
    for (const auto& tab : m_tabs)
        if (tab->Id() == id)
            return tab.get();
    return nullptr;
}

// Names compare exactly, as the port buttons' do.
C_SessionTab* C_MainFrame::TabOfTarget(const wchar_t* target) const {
    for (const auto& tab : m_tabs) {
        const C_String& own = tab->Session().Target();
        if (!own.IsEmpty() && target && wcscmp(own.c_str(), target) == 0)
            return tab.get();
    }
    return nullptr;
}

// A session that cannot start still gets its tab: it shows what it was given and opens nothing.
C_SessionTab* C_MainFrame::NewTab() {
    C_SessionHost& host = *this;
    C_ConnectionOptions& options = *this;
    C_SessionTabHost& tabHost = *this;
    auto session = std::make_unique<C_PortSession>(m_nextId++, host, options, m_scanner);
    session->Start();
    session->PlotFeed().SetCollecting(m_plotWindow.IsOpen());
    session->SetSendBarOpen((m_options.flags & FLAG_SEND_BAR) != 0);
    m_tabs.push_back(std::make_unique<C_SessionTab>(std::move(session), tabHost));
    C_SessionTab* tab = m_tabs.back().get();
    tab->CreateViews(GetWindow(), m_options);
    tab->Session().Filter().SetText(m_options.filter.c_str());
    LayoutSessionArea();
    return tab;
}

// The views in front carry the main window's control ids, so the dialog manager and the tests find them.
void C_MainFrame::BringForward(C_SessionTab& tab) {
    C_SessionTab* before = Front();
    if (before == &tab && tab.IsShown())
        return;
    if (before) {
        before->Show(false);
        before->SetControlIds(0, 0);
        before->Session().SetInFront(false);
    }
    m_front = tab.Id();
    tab.SetControlIds(IDC_MAIN_VIEW, IDC_MAIN_HEX_VIEW);
    tab.Session().SetInFront(true);
    ShowFront();
}

// Everything the frame shows of the tab in front: its view, title, Options text, filter, send bar, log button and
// plot.
void C_MainFrame::ShowFront() {
    C_SessionTab* front = Front();
    if (!front)
        return;
    C_PortSession& session = front->Session();
    LayoutSessionArea();
    front->Show(true);
    SetTitleText(session.TitleSuffix().c_str());
    C_String text;
    if (session.OptionsText().IsEmpty())
        m_strings.LoadString(IDS_OPTIONS, text);
    else
        text.Assign(session.OptionsText());
    m_toolbar.SetText(CMD_OPTIONS, text.c_str());
    session.Filter().GetText(text);
    SetItemText(IDC_FILTER, text.c_str());
    KillTimer(GetWindow(), TIMER_FILTER);
    m_plotWindow.Attach(session.PlotData(), session.PlotFeed());
    ShowSendBarOfFront();
    UpdateLogButton();
    RefreshToolbarStates();
    OfferSearch();
    OnActivityTimer();
}

// A port opens in its own tab when it has one; otherwise in the tab in front while that one has never had a port.
void C_MainFrame::OpenPort(const wchar_t* target) {
    if (!target || !*target)
        return;
    C_SessionTab* tab = TabOfTarget(target);
    if (!tab)
        tab = Front();
    if (!tab)
        tab = NewTab();
    tab->Session().Open(target);
    BringForward(*tab);
    RememberFrontPort();
}

void C_MainFrame::ClosePort(C_SessionTab& tab) {
    tab.Session().Close();
    RememberFrontPort();
}

void C_MainFrame::ReopenLostPorts() {
    for (const auto& tab : m_tabs)
        tab->Session().ReopenIfLost();
}

void C_MainFrame::OpenStartPorts() {
    std::vector<std::wstring> ports;
    ports.swap(m_startPorts);
    for (const std::wstring& port : ports)
        OpenPort(port.c_str());
}

// Each tab is taken out of the list before its session stops: while the stop dispatches messages, nothing finds
// the tab any more.
void C_MainFrame::StopAllTabs() {
    m_plotWindow.Attach(m_noPlotData, m_noPlotFeed);
    m_front = 0;
    while (!m_tabs.empty()) {
        std::unique_ptr<C_SessionTab> tab = std::move(m_tabs.back());
        m_tabs.pop_back();
        tab.reset();
    }
}

// The port opened at the next start: the one in front while the user wants it open.
void C_MainFrame::RememberFrontPort() {
    C_SessionTab* front = Front();
    if (!front || !front->Session().IsWanted()) {
        m_options.serialPort.Empty();
        return;
    }
    m_options.serialPort.Assign(front->Session().Target());
    m_options.lastSelectedPort.Assign(front->Session().Target());
}

// --- what the sessions report ----------------------------------------------------------------------------

void C_MainFrame::OnSessionEvent(uint32_t id, SessionEvent event) {
    C_SessionTab* tab = TabOf(id);
    if (!tab)
        return;
    const bool front = id == m_front;
    C_PortSession& session = tab->Session();
    switch (event) {
    case SessionEvent::State:
        if (front)
            SetTitleText(session.TitleSuffix().c_str());
        break;
    case SessionEvent::OptionsText:
        if (front) {
            m_toolbar.SetText(CMD_OPTIONS, session.OptionsText().c_str());
            UpdateToolbarWidth();
        }
        break;
    case SessionEvent::HiddenLine:
        if (front)
            SetTimer(GetWindow(), TIMER_ACTIVITY, kActivityMs, nullptr);
        break;
    case SessionEvent::FileSend:
        if (front)
            OnFileSendNotice(*tab);
        break;
    case SessionEvent::LogFailed:
        if (front)
            UpdateLogButton();
        ShowFailure(CMD_LOG, IDS_LOG_WRITE_FAILED, session.LogPath().c_str());
        break;
    case SessionEvent::Activity:
        break;
    }
}

void C_MainFrame::ShowSessionStatus(uint32_t id, const wchar_t* title, const wchar_t* name) {
    C_SessionTab* tab = TabOf(id);
    if (tab)
        ShowStatus(title, name, tab->Session().Target().c_str());
}

// A paste while the port is closed goes nowhere, as typed keys do, so it asks nothing either.
void C_MainFrame::PasteTo(C_SessionTab& tab, const wchar_t* text) {
    C_PortSession& session = tab.Session();
    const PasteGuard::Size size = PasteGuard::Measure(text);
    if (!(m_options.flags & FLAG_PASTE_UNASKED) && PasteGuard::NeedsQuestion(size) && session.IsOpen()) {
        C_String port, lines, bytes, question;
        if (!session.Connection().PortDisplayName(session.Target().c_str(), port) || port.IsEmpty())
            port.Assign(session.Target());
        NumberText::FormatCount(size.lines, lines);
        NumberText::FormatCount(size.bytes, bytes);
        if (size.lines > 1)
            question.Format(m_strings.LoadString(IDS_PASTE_QUESTION), lines.c_str(), bytes.c_str(), port.c_str());
        else
            question.Format(m_strings.LoadString(IDS_PASTE_QUESTION_ONE_LINE), bytes.c_str(), port.c_str());
        const C_PasteQuestion::Answer answer = m_pasteQuestion.Ask(GetInstance(), GetWindow(), question.c_str());
        if (answer == C_PasteQuestion::Answer::No)
            return;
        if (answer == C_PasteQuestion::Answer::YesAndDontAskAgain) {
            m_options.flags |= FLAG_PASTE_UNASKED;
            SaveChangedSettings();
        }
    }
    session.Connection().SendText(text);
}
