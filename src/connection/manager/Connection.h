#pragma once
// C_Connection: the connection manager. It turns the user's requests (refresh the port list, open a target,
// close, send text, bytes or a file) into commands that one command thread executes in order, so no transport
// work ever runs on the user-interface thread. While a target is open a reader thread repeats the transport's read
// step, which feeds the receive sink the owner passed in (the terminal's receive assembly). The port list and its
// probe belong to a port scanner, shared by every connection of a program (C_PortScanner); a connection that is
// given none makes its own.
//
// Progress reaches the main window only as status balloons (sent), port-list announcements (posted), the window
// title, the Options button's text and the reopen timer, all through C_ConnectionWindow. A status is sent and
// awaited, so every wait for a thread that may send one dispatches messages (C_Thread::WaitFinished).
// The socket headers first: the socket library's header must come before the system's general one.
#include "connection/sockets/TcpTransport.h"
#include "connection/sockets/UdpTransport.h"

#include "connection/threads/CommandThread.h"
#include "connection/manager/ConnectionWindow.h"
#include "connection/manager/PortScanner.h"
#include "connection/sending/SendPacing.h"
#include "connection/threads/Event.h"
#include "connection/transports/PipeTransport.h"
#include "connection/discovery/PortList.h"
#include "connection/transports/SerialTransport.h"
#include "connection/transports/SharedName.h"
#include "connection/threads/Thread.h"
#include "foundation/base/File.h"

#include <atomic>
#include <cstdint>
#include <memory>

// Where the last file send stands.
enum class FileSendState : uint32_t {
    Idle,        // none since the start
    Running,     //
    Finished,    // every byte went out
    Cancelled,   // CancelFileSend, or the program closing
    PortClosed,  // the port was closed or lost, or none was open
    WriteFailed, // the port refused bytes
    ReadFailed,  // the file could not be read to its end
    OpenFailed,  // the file could not be opened
};

struct FileSendProgress {
    uint32_t number = 0; // which send, as SendFile answered
    FileSendState state = FileSendState::Idle;
    uint64_t sent = 0;  // bytes the port has taken
    uint64_t total = 0; // the file's size
};

class C_Connection final : private C_TransportHost, private C_PortScanHost {
public:
    // An open refused with access denied (another program holds the port) is retried this often, a second apart.
    static constexpr uint32_t kMaxAccessDeniedRetries = 5;
    static constexpr DWORD kProbeDelayMs = C_PortScanner::kProbeDelayMs;
    // A close wakes the reader again this often until it has ended: a read step may start a new wait just after
    // the first wake-up and would otherwise sleep until data comes.
    static constexpr DWORD kReaderWakeIntervalMs = 100;
    // What the port menu and Ctrl+Break send: long enough for any receiver to see a break (a Linux console
    // takes it for the magic SysRq key), and a reset pulse most boards' reset circuits react to.
    static constexpr DWORD kBreakMs = 250;
    static constexpr DWORD kPulseMs = 100;

    // Everything read goes to sink, on the reader thread; it must outlive Stop.
    explicit C_Connection(C_ReceiveSink& sink);
    ~C_Connection();
    C_Connection(const C_Connection&) = delete;
    C_Connection& operator=(const C_Connection&) = delete;

    // Before Start: the program's port scanner, started by its owner, which must outlive Stop. Without one the
    // connection starts a scanner of its own, whose host are the window and the options given to Start.
    void UseScanner(C_PortScanner& scanner) { m_scanner = &scanner; }

    // User-interface thread. Start once the window exists; both objects must outlive Stop. False when the
    // command thread cannot be started (then nothing runs and commands are discarded).
    bool Start(C_ConnectionWindow& window, C_ConnectionOptions& options);
    // Closes what is open and stops the threads (and a scanner of its own, clearing its list); waits while
    // dispatching messages.
    void Stop();

    // Queues a refresh of the scanner's port list.
    void RefreshPorts(WPARAM number) { m_scanner->Refresh(number); }
    // Each queues a command (discarded while the command thread is not running).
    void OpenTarget(const wchar_t* target); // also stops the reopen timer
    void CloseTarget();
    // A typed text: characters in the ANSI code page, up to the first zero, paced by the character delay.
    void SendText(const wchar_t* text);
    // Bytes exactly as given, zero bytes included, paced by the character delay.
    void SendBytes(const uint8_t* bytes, uint32_t size);
    // A file as it is, streamed in pieces while it goes (never read whole), paced by the character delay and
    // the line delay. Opens, closes and the program's end stop it, as CancelFileSend does. The send's number,
    // which its progress carries.
    uint32_t SendFile(const wchar_t* path);
    // Stops the file send that runs and those still queued; the running one ends at its next byte or pause.
    void CancelFileSend() { StopFileSends(FileSendState::Cancelled); }
    // Any thread.
    FileSendProgress GetFileSendProgress();
    // Line control of an open serial port, in order with the commands before: nothing happens for a target
    // without a line. A driver's refusal is told once per opening and kind; the port stays open.
    // A break on the line for the given time, after everything sent before it.
    void SendBreak(DWORD milliseconds);
    // Drops the given modem lines (bits of ModemLine) for the given time, then restores them. Lines under the
    // flow control's handshake are left alone.
    void PulseLines(uint8_t lines, DWORD milliseconds);
    // Raises or drops modem lines for good; what changed is remembered for the port's next opening
    // (C_ConnectionOptions::RememberModemLines).
    void SetModemLines(uint8_t lines, bool raised);

    // True once every command posted so far has been executed (a script waits for its sends with it).
    bool CommandsDone() { return m_commands.IsIdle(); }

    // The current transport's answers: false and an empty name before the first open; after a close the last
    // transport's name stays. The name is a copy, safe on any thread.
    bool IsOpen() const;
    bool GetName(C_String& name) const;
    // Any thread: how the open serial line is set, and its input lines (false without an open line, or when the
    // driver does not report them).
    bool GetLineState(LineState& state) const;
    bool GetModemStatus(DWORD& status) const;

    // Before Start: the serial port's line calls go through functions (tests record them). The system's by
    // default.
    void UseCommFunctions(C_CommFunctions& functions) { m_serial.UseCommFunctions(functions); }

    // Sends a status text (by its string-table entry) with the name it concerns to the main window and returns
    // once the window has shown it. name may be null.
    void ShowStatus(StatusText text, const wchar_t* name) override;

    // The scanner's list, which the main window walks under its lock to draw the port buttons.
    C_PortList& GetPortList() { return m_scanner->List(); }
    // After a refresh that may bring a lost port back: whether to open, and which target. selected is the name
    // the port was opened by. A board with an identity (the last open's) is found under whatever name it has
    // now; false when another board holds its old name, which must not be opened in its place. Any thread.
    bool ReopenTarget(const wchar_t* selected, C_String& target);
    // "tag - name" of the listed port named name, the name alone without a tag, empty when none has that name.
    bool PortDisplayName(const wchar_t* name, C_String& out) { return ::PortDisplayName(GetPortList(), name, out); }

private:
    enum CommandKind : uint32_t {
        COMMAND_OPEN = 1,
        COMMAND_CLOSE = 2,
        COMMAND_SEND = 3, // bytes
        COMMAND_SEND_FILE = 4,
        COMMAND_BREAK = 5,
        COMMAND_PULSE = 6,
        COMMAND_MODEM_LINES = 7,
    };
    struct Command;
    // A file send's buffer: a few writes' worth, however large the file.
    static constexpr uint32_t kFileChunk = 0x10000;

    // C_TransportHost
    C_ReceiveSink& GetReceiveSink() override { return m_sink; }
    bool HasPendingLine() override { return m_sink.HasPendingLine(); }
    HANDLE GetDataEvent() override { return m_dataEvent; }
    bool IsStopRequested() override { return m_reader.StopRequested(); }
    HWND GetMainWindow() override;
    void PostCloseTarget() override { CloseTarget(); }
    SerialLineSettings GetSerialLineSettings(const wchar_t* port) override;
    void ShowRefusal(RefusalText text, const wchar_t* port, const wchar_t* detail) override;

    void Post(CommandKind kind, const wchar_t* text, WPARAM number, uint32_t lines = 0);
    void Queue(std::unique_ptr<Command> command);
    static bool HandleCommand(CommandPhase phase, C_ListEntry* entry, void* context);
    void Run(Command& command);
    void StopFileSends(FileSendState why);

    // Command thread (ConnectionCommands.cpp).
    void RunOpenTarget(const wchar_t* target);
    void NoteOpenedBoard(const wchar_t* target);
    void RunCloseTarget();
    // Sending (ConnectionSending.cpp).
    void RunSendBytes(const uint8_t* bytes, uint32_t size);
    void RunSendFile(const wchar_t* path, uint32_t sequence);
    FileSendState StreamFile(C_File& file, C_Transport& transport, uint32_t sequence);
    bool WriteAndEcho(C_Transport& transport, const uint8_t* bytes, uint32_t size);
    bool Pause(DWORD milliseconds, uint32_t fileSequence);
    bool IsShuttingDown() const;
    bool IsFileSendStopped(uint32_t sequence) const;
    uint32_t WriteLimit(const C_Transport& transport);
    void StartFileProgress(uint32_t sequence);
    void SetFileTotal(uint64_t total);
    void EndFileProgress(FileSendState outcome);
    void NoteFileBytesSent(uint32_t count);
    void NoticeFileProgress();
    void RunBreak(DWORD milliseconds);
    void RunPulse(uint8_t lines, DWORD milliseconds);
    void RunModemLines(uint8_t lines, bool raised);
    C_Transport& TransportFor(const wchar_t* target);
    bool PrepareDataEvent();
    void ShowOptionsText(const C_String& description);
    void AwaitReader();

    // Reader thread.
    static DWORD ReaderMain(void* self, DWORD);
    void Read();

    // C_PortScanHost, for a scanner of its own.
    HWND PortsWindow() override { return m_window->GetWindow(); }
    void LoadTag(const wchar_t* key, C_String& tag) override { m_options->LoadTag(key, tag); }
    bool CommandLinePort(uint32_t index, C_String& port) override;
    void NoteBoardListed(const wchar_t* identity, const wchar_t* devicePath, C_String& former) override {
        m_options->NoteBoardListed(identity, devicePath, former);
    }
    void LoadText(unsigned id, C_String& text) override { m_window->LoadText(id, text); }
    // The serial port the transport holds, told to the scanner as it opens and closes.
    void HoldOpen(const wchar_t* target);
    void ReleaseHeld();
    void StopOwnScanner();
    // What the options store a port's values under: the open board's identity, else the port's own name.
    const wchar_t* OptionsKey(const wchar_t* port, C_String& identity) const;

    C_ReceiveSink& m_sink;
    C_ConnectionWindow* m_window = nullptr;
    C_ConnectionOptions* m_options = nullptr;

    C_SerialTransport m_serial;
    C_PipeTransport m_pipe;
    C_TcpTransport m_tcp;
    C_UdpTransport m_udp;
    // Set by the command thread, read by the user-interface and reader threads without a lock. Never reset to
    // none once set, so the last transport's name stays reachable after a close.
    std::atomic<C_Transport*> m_current{nullptr};

    // Created at the first open. Later opens reset it instead of replacing it: a socket event on the
    // user-interface thread may be signalling it at that moment, and a closed handle's number can be reused.
    C_Handle m_dataEventOwner;
    std::atomic<HANDLE> m_dataEvent{nullptr};
    // Manual-reset, set by Stop: ends the probe's and the send delay's waits.
    C_Handle m_shutdown;

    // File sends are numbered as they are queued; a stop covers every number up to the last one queued then,
    // so a send queued after a close still runs. The event wakes a file send's pause.
    std::atomic<uint32_t> m_fileSendsQueued{0};
    std::atomic<uint32_t> m_fileSendsStopped{0};
    std::atomic<FileSendState> m_fileStopReason{FileSendState::Cancelled};
    C_Handle m_fileStop; // auto-reset
    C_CriticalSection m_progressLock;
    FileSendProgress m_progress;    // under m_progressLock
    DWORD m_lastProgressNotice = 0; // command thread only

    C_PortScanner m_ownScanner; // used when none was given
    C_PortScanner* m_scanner = &m_ownScanner;
    C_String m_held; // the serial target told to the scanner as held open; command thread only
    // The identity of the board the last open was for, set by the command thread as it opens; empty for a port
    // without one. It outlives the close and the loss of the port, so the board can be found again.
    C_SharedName m_openIdentity;
    C_String m_openTarget;     // command thread only
    uint32_t m_retryCount = 0; // command thread only
    bool m_started = false;

    // Threads last: destroyed first, so nothing they use goes away under them.
    C_Thread m_reader;
    C_CommandThread m_commands;
};
