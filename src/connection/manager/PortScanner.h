#pragma once
// C_PortScanner: the port list and what keeps it current. A refresh enumerates the ports on a thread of the
// scanner's own (never on the user-interface thread), labels them with their tags, adds the targets named on the
// command line and posts WM_PORTS_CHANGED; a short-lived probe thread then marks which listed ports could be opened
// right now and posts again.
//
// A program has one scanner however many ports it holds open: the main window's port buttons are drawn from its
// list, every connection finds its target's tag and name in it, and the probe leaves alone the ports the
// connections hold open (where a driver lets a second handle open a port, the probe's default settings would
// otherwise reconfigure a line in use). A connection without a shared scanner makes one of its own.
#include "connection/discovery/PortList.h"
#include "connection/threads/CommandThread.h"
#include "connection/threads/Thread.h"
#include "platform/system/Handles.h"

#include <windows.h>

#include <map>
#include <string>

// What the scanner needs of its owner. Called on the scanner's thread, while the list is locked for writing, so
// nothing here may wait for the user-interface thread.
class C_PortScanHost {
public:
    // Receives WM_PORTS_CHANGED.
    virtual HWND PortsWindow() = 0;
    // The user's tag for a port key; empty when none.
    virtual void LoadTag(const wchar_t* key, C_String& tag) = 0;
    // The targets named on the command line, from index 0 on: each is offered in the list even when no enumerated
    // port has its name. False past the last.
    virtual bool CommandLinePort(uint32_t index, C_String& port) = 0;
    // A refresh listed the board identity at devicePath, before its tag is read: the host remembers where
    // (BoardNames::NoteListed) and answers the COM port it had before, or empty. Remembers nothing by default.
    virtual void NoteBoardListed(const wchar_t* /*identity*/, const wchar_t* /*devicePath*/, C_String& former) {
        former.Empty();
    }
    // An entry of the string table in the user's language ("was %s" for a board's tooltip); none by default.
    virtual void LoadText(unsigned /*id*/, C_String& text) { text.Empty(); }

protected:
    ~C_PortScanHost() = default;
};

class C_PortScanner final : private C_PortProber {
public:
    // The probe waits this long after a refresh, so a burst of device notifications costs one probe pass.
    static constexpr DWORD kProbeDelayMs = 1000;

    C_PortScanner() = default;
    ~C_PortScanner() { Stop(); }
    C_PortScanner(const C_PortScanner&) = delete;
    C_PortScanner& operator=(const C_PortScanner&) = delete;

    // host must outlive Stop. False when the thread cannot be started.
    bool Start(C_PortScanHost& host);
    // Stops the probe between two ports and the refresh thread, waiting while dispatching messages; empties the
    // list.
    void Stop();
    bool IsRunning() const { return m_commands.IsRunning(); }

    // Queues a refresh; WM_PORTS_CHANGED carries number afterwards (PORTS_CHANGED_REOPEN or _REDRAW).
    void Refresh(WPARAM number);

    // Walked under its lock by the main window and the connections.
    C_PortList& List() { return m_ports; }

    // Any thread: a connection holds target open, or no longer does. Counted, so two holders of one target (a
    // test, a second session) each release their own hold.
    void NoteHeldOpen(const wchar_t* target, bool held);
    bool IsHeldOpen(const wchar_t* target);

private:
    struct RefreshCommand;
    static bool HandleCommand(CommandPhase phase, C_ListEntry* entry, void* context);
    void RunRefresh(WPARAM number);
    static bool AddPortInfo(const PortInfo& info, void* context, class C_SerialPort& port);
    void NoteBoard(const PortInfo& info, C_String& note);
    void AddCommandLineEntries();
    static DWORD ProbeMain(void* self, DWORD);
    void Probe();
    // C_PortProber
    bool ProbeTarget(const wchar_t* target) override;
    bool ProbeStopping() override;

    C_PortScanHost* m_host = nullptr;
    C_PortList m_ports;
    C_Handle m_shutdown; // manual-reset, set by Stop: ends the probe's wait
    C_CriticalSection m_heldLock;
    std::map<std::wstring, uint32_t> m_held; // upper-case targets and their holders, under m_heldLock

    // Threads last: destroyed first, so nothing they use goes away under them.
    C_Thread m_probe;
    C_CommandThread m_commands;
};
