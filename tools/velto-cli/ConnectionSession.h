#pragma once
// The real connection manager on a hidden stand-in window with a message loop, for the subcommands that talk to
// ports: every status is printed on standard error as it is shown ("TITLE: NAME"), and the session follows the
// opens as the main window would see them, retries on the reopen timer included.
#include "connection/manager/Connection.h"
#include "stand-in/StandInWindow.h"
#include "foundation/settings/Settings.h"
#include "terminal/bytes/ReceiveTap.h"
#include "terminal/store/LineStore.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <cstdint>
#include <string>
#include <functional>

class C_ConnectionSession final : private C_StandInObserver {
public:
    // NotConnected: the open succeeded, but the connection it started (TCP) never came up.
    enum class OpenOutcome { Pending, Opened, Failed, NotConnected };
    // Generous bounds, so a session never hangs: an open is refused, retried five times and given up well
    // within these.
    static constexpr DWORD kOpenOutcomeLimitMs = 120000;
    static constexpr DWORD kPortListLimitMs = 60000;

    C_ConnectionSession();
    ~C_ConnectionSession();
    C_ConnectionSession(const C_ConnectionSession&) = delete;
    C_ConnectionSession& operator=(const C_ConnectionSession&) = delete;

    // Statuses are printed unless the session is quiet (listing ports opens nothing worth reporting).
    void SetQuiet(bool quiet) { m_quiet = quiet; }

    C_StandInWindow& Window() { return m_window; }
    // The program's own settings, read only; null until Start has opened them.
    const C_SettingsStore* ProgramSettings() const { return m_settingsOpen ? &m_settings : nullptr; }
    C_Connection& Connection() { return m_connection; }
    C_LineStore& Store() { return m_store; }
    // Received data becomes the store's lines here; the caller wires the log and the receive options.
    C_ReceiveAssembly& Assembly() { return m_assembly; }
    // Also hands every received block to sink, which must outlive the session; set before Start.
    void AlsoFeed(C_ReceiveSink* sink) { m_feed.second = sink; }
    // The last status shown, "TITLE: NAME" or the title alone: what an open that failed says.
    const std::wstring& LastStatus() const { return m_lastStatus; }
    // The line-control refusals shown so far, and the last one's sentence ("COM7 does not support DTR/RTS
    // control"): a caller that saw the count change while it waited learns that what it asked for was refused.
    uint32_t Refusals() const { return m_refusals; }
    const std::wstring& LastRefusal() const { return m_lastRefusal; }
    // What the reader reads passes here first: the caller adds recorders (a raw log) before Start.
    C_ReceiveTap& Tap() { return m_tap; }

    // Reads tags from the program's own settings; false when the stand-in window could not be made or the
    // connection could not start.
    bool Start();
    // As the program opens a port at start: target becomes the command-line port and the selection, and a
    // refresh that asks for a reopen opens it. Then waits until the open succeeded or finally failed; for a TCP
    // target, until its connection is up or has failed.
    OpenOutcome OpenAsAtStart(const wchar_t* target, DWORD limitMs = kOpenOutcomeLimitMs);
    // A refresh and the probe that follows it; false when they did not both report within the limit.
    bool RefreshAndProbe();
    // Serves the window until every command posted so far has been executed; false when that took longer than
    // the limit.
    bool FinishCommands(DWORD limitMs);
    // Serves the window for the given time, or until done() holds; a TCP connection that ends ends it sooner.
    void RunFor(DWORD milliseconds);
    void RunFor(DWORD milliseconds, const std::function<bool()>& done);
    // Serves the window until event is signalled (true) or the limit passes (false).
    bool ServeUntilSignalled(HANDLE event, DWORD limitMs);
    // As the main window closes: no more reopening, CloseTarget, then Stop (which waits for the threads).
    void Close();

private:
    // The connection's receive sink: the assembly, and the second sink when one is set.
    struct C_Feed final : public C_ReceiveSink {
        explicit C_Feed(C_ReceiveAssembly& first) : first(first) {}
        void ProcessReceivedData(const uint8_t* data, uint32_t length) override;
        void FlushIfIdle() override;
        bool HasPendingLine() override;
        void ResetFlushTime() override;
        C_ReceiveAssembly& first;
        C_ReceiveSink* second = nullptr;
    };

    // Dispatches messages until done() holds, or event (when given) is signalled, or the limit passes; false on
    // the limit.
    template <class Condition> bool PumpUntil(Condition done, DWORD limitMs, HANDLE event = nullptr);
    void DispatchQueued();

    // C_StandInObserver
    void OnStatus(const wchar_t* title, const wchar_t* name) override;
    void OnPortsChanged(WPARAM number) override;
    void OnTitleSuffix(const wchar_t*) override {}
    void OnOptionsText(const wchar_t* text) override;
    void OnReopenTimer(bool running) override;

    C_LineStore m_store;
    C_ReceiveAssembly m_assembly{m_store};
    C_Feed m_feed{m_assembly};
    // Reads pass the tap (a raw log) first, then the feed.
    C_ReceiveTap m_tap{m_feed};
    C_Settings m_settings;
    C_StandInWindow m_window;
    C_Connection m_connection;
    bool m_started = false;
    bool m_quiet = false;
    std::wstring m_lastStatus;
    uint32_t m_refusals = 0;
    std::wstring m_lastRefusal;
    bool m_settingsOpen = false;

    // The open being followed: reset by each "Searching", decided by its Options text.
    bool m_openSucceeded = false;
    bool m_retryStarted = false;
    bool m_closedSinceOpen = false; // a "Closed" after the open: the transport ended the connection
    bool m_isConnection = false;    // the target is a TCP connection, which is up only once its peer answers
    OpenOutcome m_outcome = OpenOutcome::Pending;
    uint32_t m_redraws = 0;
};
