#pragma once
// C_PortSession: everything the program keeps for one open target (a serial port, a pipe, a TCP or UDP
// endpoint), without a window: its connection, the receive tap and assembly, the line store, the hex view's
// journal, the text or raw log, the time stamps, the plot's feed, the filter, the state of its tab (lines not yet
// seen, the send bar) and what its connection last said (title, Options text). The main window shows a session
// in a tab and attaches its views to the session's store and journal; tests and tools run one without a view.
//
// What the connection's threads report reaches the session through a hidden window of its own (its mailbox):
// statuses and texts are sent to it, file progress, activity and log failures posted, the access-denied retries
// run on its timer and the socket notifications of its TCP or UDP endpoint arrive there. The session turns these
// into calls of its host (C_SessionHost) with its id, on the thread that started it. The mailbox goes with the
// session, so a message posted to a session that was closed meanwhile is simply never delivered.
//
// Received bytes pass the tap first (every byte recorder: the journal, a raw log, what later engines add), then
// the assembly, which makes the store's lines and hands every text it stores to the line sinks (a text log, the
// merged tab, the activity mark, what later engines add). Engines attach before Start.
//
// Threads: Start, Stop, Open, Close and the accessors run on the thread that made the session; the connection's
// command and reader threads feed the parts, each under its own lock.
// The socket headers first (through the connection): they must precede the system's general header.
#include "connection/manager/Connection.h"

#include "session/port/LineSinks.h"
#include "session/port/SessionHost.h"
#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/ReceiveTap.h"
#include "terminal/export/LogFile.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "terminal/receive/TimeStamp.h"
#include "terminal/store/Filter.h"
#include "terminal/store/LineStore.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

class C_PortSession final : private C_ConnectionWindow, private C_LogFailureHost, private C_LogSink {
public:
    // The mailbox's messages and timer; the connection's own (WM_SHOW_STATUS, TIMER_REOPEN, the sockets') come
    // there too.
    static constexpr UINT WM_SESSION_TEXT = WM_APP + 0x60;        // sent: wParam which text, lParam the text
    static constexpr UINT WM_SESSION_TIMER = WM_APP + 0x61;       // sent: wParam 1 start, 0 stop the reopen timer
    static constexpr UINT WM_SESSION_FILE_SEND = WM_APP + 0x62;   // posted, at most one queued
    static constexpr UINT WM_SESSION_ACTIVITY = WM_APP + 0x63;    // posted, at most one queued
    static constexpr UINT WM_SESSION_LOG_FAILED = WM_APP + 0x64;  // posted: wParam the failed log's number
    static constexpr UINT WM_SESSION_HIDDEN_LINE = WM_APP + 0x65; // posted, at most one queued
    static constexpr UINT WM_SESSION_NOTICE = WM_APP + 0x66;      // posted: wParam an engine's code

    // The default capacities: the store's and the journal's own, until the owner sets others.
    struct Capacity {
        uint32_t storeCells = C_LineStore::kDefaultCapacity;
        uint32_t journalBytes = C_ByteJournal::kDefaultCapacity;
    };

    // host and options must outlive the session; scanner is the program's (its list names the targets). id is
    // the owner's name for the session, which every call to host carries.
    C_PortSession(uint32_t id, C_SessionHost& host, C_ConnectionOptions& options, C_PortScanner& scanner);
    ~C_PortSession();
    C_PortSession(const C_PortSession&) = delete;
    C_PortSession& operator=(const C_PortSession&) = delete;

    uint32_t Id() const { return m_id; }

    // Before Start: the parts' capacities (each empties its part).
    void SetCapacity(const Capacity& capacity);
    // Before Start: an engine's recorder of every byte read and written, or a sink of every text stored. False
    // when all places are taken.
    bool AddByteRecorder(C_ByteRecorder* recorder) { return m_tap.AddRecorder(recorder); }
    bool AddLineSink(C_LogSink* sink) { return m_lineSinks.Add(sink); }

    // Makes the mailbox and starts the connection; false when either failed (nothing runs then).
    bool Start();
    // Closes the target and stops the connection's threads, dispatching messages meanwhile (a status may be on
    // its way); the host hears nothing more of this session afterwards.
    void Stop();

    // The user's choices: the target is opened (again), and reopened after it was lost; or closed for good.
    void Open(const wchar_t* target);
    void Close();
    // A lost target (the user opened it, and it closed without being asked) opened again, under the name its board
    // came back with (Target changes then); false when it is not lost, or another board has its name now. The
    // owner calls it when the ports changed.
    bool ReopenIfLost();

    // The target the user last opened (also after a close), and whether it should be open. Lost: it should, but
    // is not, and no open is under way.
    const C_String& Target() const { return m_target; }
    bool IsWanted() const { return m_wanted; }
    bool IsOpen() const { return m_connection.IsOpen(); }
    bool IsLost() const { return m_wanted && m_opensUnderWay == 0 && !IsOpen(); }
    // What the connection last said: "tag - name" while open (empty otherwise), and "Options - 115200 baud 8N1".
    const C_String& TitleSuffix() const { return m_titleSuffix; }
    const C_String& OptionsText() const { return m_optionsText; }

    // Lines arrived while the session was not in front: set by the reader, told once (SessionEvent::Activity),
    // cleared when the session is marked seen. A session in front collects none.
    void SetInFront(bool inFront);
    bool HasUnseenLines() const { return m_unseen.load(); }
    // Any thread: a line the filter hid is to be told (SessionEvent::HiddenLine), at most one notice on its way.
    void NoteHiddenLine();
    // Any thread: an engine's news for the window, told as C_SessionHost::OnSessionNotice(id, code) on the
    // window's thread, once per call; a session stopped meanwhile tells nothing. False when it could not be posted.
    bool PostNotice(uint32_t code) { return PostMessageW(m_mailbox, WM_SESSION_NOTICE, code, 0) != FALSE; }

    // The log. Starting closes a log that runs; a log that fails closes itself and is told (LogFailed).
    bool StartLog(const wchar_t* path, C_LogFile::Kind kind, TextFileEncoding encoding);
    void StopLog();
    bool IsLogging() const { return m_logging; }
    const C_String& LogPath() const { return m_logPath; }

    // The file send the send bar follows: its number as the connection gave it, and the file's name.
    void NoteFileSend(uint32_t number, const wchar_t* name);
    uint32_t FileSendNumber() const { return m_fileSendNumber; }
    const C_String& FileSendName() const { return m_fileSendName; }

    // Whether the send bar shows under this session's view.
    bool SendBarOpen() const { return m_sendBarOpen; }
    void SetSendBarOpen(bool open) { m_sendBarOpen = open; }

    // The parts, for the views and the engines.
    C_Connection& Connection() { return m_connection; }
    C_LineStore& Store() { return m_store; }
    C_ReceiveAssembly& Assembly() { return m_assembly; }
    C_ByteJournal& Journal() { return m_journal; }
    C_LogFile& Log() { return m_log; }
    C_TimeStamps& Stamps() { return m_stamps; }
    C_FilterText& Filter() { return m_filter; }
    C_PlotData& PlotData() { return m_plotData; }
    C_PlotFeed& PlotFeed() { return m_plotFeed; }
    HWND Mailbox() const { return m_mailbox; }

private:
    enum TextKind : WPARAM { TEXT_TITLE = 0, TEXT_OPTIONS = 1 };

    // C_ConnectionWindow: the connection's threads call these.
    HWND GetWindow() override { return m_mailbox; }
    void LoadText(unsigned id, C_String& text) override { m_host.LoadText(id, text); }
    void SetTitleSuffix(const wchar_t* text) override;
    void SetOptionsButtonText(const wchar_t* text) override;
    void SetReopenTimer(bool running) override;
    void FileSendChanged() override;
    // C_LogFailureHost: the reader thread.
    void LogWriteFailed(uint32_t logNumber) override;
    // C_LogSink: every stored text, on the reader thread (the activity mark).
    void AppendToLog(const wchar_t* text, uint32_t length) override;

    // The mailbox (PortSessionMailbox.cpp).
    static LRESULT CALLBACK MailboxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateMailbox();
    void DestroyMailbox();
    LRESULT OnMailMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnText(WPARAM kind, const wchar_t* text);
    void OnReopenTimer();
    void OpenTarget();
    void OnLogFailed(uint32_t logNumber);
    void PostOnce(std::atomic<bool>& pending, UINT message);
    void Tell(SessionEvent event);

    const uint32_t m_id;
    C_SessionHost& m_host;
    C_ConnectionOptions& m_options;
    HWND m_mailbox = nullptr;
    bool m_started = false;

    // The parts, each before what writes into it: the store, the assembly, the journal, the sinks and the tap,
    // then the connection, whose reader feeds them all and ends before any of them goes.
    C_LineStore m_store;
    C_FilterText m_filter;
    C_TimeStamps m_stamps;
    C_PlotData m_plotData;
    C_PlotFeed m_plotFeed{m_plotData};
    C_LogFile m_log;
    C_LineSinks m_lineSinks;
    C_ReceiveAssembly m_assembly{m_store};
    C_ByteJournal m_journal;
    C_ReceiveTap m_tap{m_assembly};
    C_Connection m_connection{m_tap};

    C_String m_target;
    bool m_wanted = false;
    uint32_t m_opensUnderWay = 0; // asked of the connection and not yet ended (each ends with its Options text)
    C_String m_titleSuffix;
    C_String m_optionsText;
    bool m_logging = false;
    C_String m_logPath;
    uint32_t m_fileSendNumber = 0;
    C_String m_fileSendName;
    bool m_sendBarOpen = false;

    std::atomic<bool> m_inFront{false};
    std::atomic<bool> m_unseen{false};
    std::atomic<bool> m_activityPending{false};
    std::atomic<bool> m_hiddenNoticePending{false};
    std::atomic<bool> m_fileNoticePending{false};
};
