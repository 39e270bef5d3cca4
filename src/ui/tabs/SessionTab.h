#pragma once
// C_SessionTab: a port session as the main window shows it. It owns the session and the two views of it, the
// terminal view over the session's store and the hex view over its journal, which share one place: the one shown
// has the focus, its keys and its search. The views' keys go to the session's connection; what they ask of the
// window (the search bar, the send bar, the hex view, a paste question) goes to the frame with the tab named.
//
// The session's reader writes into the store and the journal, so the tab stops the session before its views go.
#include "session/port/PortSession.h"
#include "ui/hex/HexView.h"
#include "ui/tabs/ActivityIndicator.h"
#include "ui/view/TerminalView.h"

#include <memory>

class C_PersistedOptions;
class C_SessionTab;

// What a tab's views ask of the window that holds the tab; on the window's thread.
class C_SessionTabHost {
public:
    virtual void ToggleSearchBar() = 0;
    virtual void ToggleSendBar() = 0;
    virtual void ChooseFileToSend() = 0;
    virtual void ToggleHexView() = 0;
    // The clipboard's text for the tab's port: the window may ask first.
    virtual void PasteTo(C_SessionTab& tab, const wchar_t* text) = 0;

protected:
    ~C_SessionTabHost() = default;
};

class C_SessionTab final : private C_SendSink, private C_TerminalViewHost {
public:
    C_SessionTab(std::unique_ptr<C_PortSession> session, C_SessionTabHost& host);
    ~C_SessionTab();
    C_SessionTab(const C_SessionTab&) = delete;
    C_SessionTab& operator=(const C_SessionTab&) = delete;

    uint32_t Id() const { return m_session->Id(); }
    C_PortSession& Session() { return *m_session; }
    const C_PortSession& Session() const { return *m_session; }
    C_TerminalView& View() { return m_view; }
    C_HexView& Hex() { return m_hex; }
    // The filter field's indicator: lines the session's filter hides.
    C_ActivityIndicator& HiddenLines() { return m_hiddenLines; }

    // Makes both views as hidden children of parent, with the options' fonts, Enter and stamps; false when a
    // window could not be made.
    bool CreateViews(HWND parent, const C_PersistedOptions& options);
    // The options changed: fonts, what Enter sends, the local echo and the stamps follow.
    void ApplyOptions(const C_PersistedOptions& options);
    // The control ids of the views: the tab in front has the main window's (IDC_MAIN_VIEW, IDC_MAIN_HEX_VIEW).
    void SetControlIds(UINT viewId, UINT hexId);

    // Where the shown view lies (parent client pixels); visible or not.
    void Place(const RECT& area);
    void Show(bool shown);
    bool IsShown() const { return m_shown; }
    bool IsHexShown() const { return m_hexShown; }
    void ShowHex(bool hex);
    // The view on screen (the hex view while shown), which takes the focus.
    HWND ShownWindow() const { return m_hexShown ? m_hex.GetWindow() : m_view.GetWindow(); }
    void Focus();
    // The view and the journal empty, as the user sees them.
    void Clear();
    // The search bar's search, in the view shown.
    bool Search(const wchar_t* text, uint32_t searchFlags, int64_t start);

private:
    // C_SendSink
    void SendText(const wchar_t* text) override { m_session->Connection().SendText(text); }
    void SendPastedText(const wchar_t* text) override { m_host.PasteTo(*this, text); }
    void SendBreak() override { m_session->Connection().SendBreak(C_Connection::kBreakMs); }
    // C_TerminalViewHost
    void ToggleSearchBar() override { m_host.ToggleSearchBar(); }
    void ToggleSendBar() override { m_host.ToggleSendBar(); }
    void ChooseFileToSend() override { m_host.ChooseFileToSend(); }
    void ToggleHexView() override { m_host.ToggleHexView(); }
    void NoteActivity() override;

    std::unique_ptr<C_PortSession> m_session;
    C_SessionTabHost& m_host;
    C_ActivityIndicator m_hiddenLines;
    C_TerminalView m_view;
    C_HexView m_hex;
    bool m_shown = false;
    bool m_hexShown = false;
};
