// A session's life and the user's choices on it. What arrives in its mailbox is in PortSessionMailbox.cpp.
#include "session/port/PortSession.h"

C_PortSession::C_PortSession(uint32_t id, C_SessionHost& host, C_ConnectionOptions& options, C_PortScanner& scanner)
    : m_id(id), m_host(host), m_options(options) {
    m_assembly.SetLogSink(&m_lineSinks);
    m_assembly.SetTimeStamps(&m_stamps);
    m_assembly.SetShownTextSink(&m_plotFeed);
    m_store.SetFilter(&m_filter);
    m_log.SetFailureHost(this);
    m_tap.AddRecorder(&m_journal);
    m_tap.AddRecorder(&m_log);
    m_lineSinks.Add(&m_log);
    m_lineSinks.Add(this);
    m_connection.UseScanner(scanner);
}

C_PortSession::~C_PortSession() {
    Stop();
}

void C_PortSession::SetCapacity(const Capacity& capacity) {
    m_store.SetCapacity(capacity.storeCells);
    m_journal.SetCapacity(capacity.journalBytes);
}

bool C_PortSession::Start() {
    if (m_started)
        return true;
    if (!CreateMailbox())
        return false;
    if (!m_connection.Start(*this, m_options)) {
        DestroyMailbox();
        return false;
    }
    m_started = true;
    return true;
}

// The close is queued before the stop, so the command thread runs it before it ends; the log closes after the
// reader has ended.
void C_PortSession::Stop() {
    if (!m_started)
        return;
    m_started = false;
    m_wanted = false;
    KillTimer(m_mailbox, TIMER_REOPEN);
    m_connection.CloseTarget();
    m_connection.Stop();
    StopLog();
    DestroyMailbox();
}

void C_PortSession::Open(const wchar_t* target) {
    if (!target || !*target || !m_target.Assign(target))
        return;
    m_wanted = true;
    OpenTarget();
}

void C_PortSession::OpenTarget() {
    ++m_opensUnderWay;
    m_connection.OpenTarget(m_target.c_str());
}

void C_PortSession::Close() {
    m_wanted = false;
    KillTimer(m_mailbox, TIMER_REOPEN);
    m_connection.CloseTarget();
}

// A board with an identity is followed to the name it came back under.
bool C_PortSession::ReopenIfLost() {
    C_String target;
    if (!IsLost() || m_target.IsEmpty() || !m_connection.ReopenTarget(m_target.c_str(), target) ||
        !m_target.Assign(target))
        return false;
    OpenTarget();
    return true;
}

void C_PortSession::SetInFront(bool inFront) {
    m_inFront = inFront;
    if (inFront)
        m_unseen = false;
}

bool C_PortSession::StartLog(const wchar_t* path, C_LogFile::Kind kind, TextFileEncoding encoding) {
    StopLog();
    if (!m_log.Open(path, kind, encoding))
        return false;
    m_logging = true;
    m_logPath.Assign(path);
    return true;
}

void C_PortSession::StopLog() {
    m_logging = false;
    m_log.Close();
}

void C_PortSession::NoteFileSend(uint32_t number, const wchar_t* name) {
    m_fileSendNumber = number;
    m_fileSendName.Assign(name ? name : L"");
}

// --- what the connection's threads report ----------------------------------------------------------------

// Sent, so the text is copied before the connection goes on and the host hears of it in order.
void C_PortSession::SetTitleSuffix(const wchar_t* text) {
    SendMessageW(m_mailbox, WM_SESSION_TEXT, TEXT_TITLE, reinterpret_cast<LPARAM>(text));
}

void C_PortSession::SetOptionsButtonText(const wchar_t* text) {
    SendMessageW(m_mailbox, WM_SESSION_TEXT, TEXT_OPTIONS, reinterpret_cast<LPARAM>(text));
}

// A timer can only be set by its window's own thread.
void C_PortSession::SetReopenTimer(bool running) {
    SendMessageW(m_mailbox, WM_SESSION_TIMER, running ? 1 : 0, 0);
}

void C_PortSession::FileSendChanged() {
    PostOnce(m_fileNoticePending, WM_SESSION_FILE_SEND);
}

void C_PortSession::LogWriteFailed(uint32_t logNumber) {
    PostMessageW(m_mailbox, WM_SESSION_LOG_FAILED, logNumber, 0);
}

void C_PortSession::NoteHiddenLine() {
    PostOnce(m_hiddenNoticePending, WM_SESSION_HIDDEN_LINE);
}

// Only the first text after the session was last seen costs a message.
void C_PortSession::AppendToLog(const wchar_t*, uint32_t length) {
    if (length == 0 || m_inFront.load(std::memory_order_relaxed) || m_unseen.load(std::memory_order_relaxed))
        return;
    if (!m_unseen.exchange(true))
        PostOnce(m_activityPending, WM_SESSION_ACTIVITY);
}

void C_PortSession::PostOnce(std::atomic<bool>& pending, UINT message) {
    if (!pending.exchange(true) && !PostMessageW(m_mailbox, message, 0, 0))
        pending = false;
}
