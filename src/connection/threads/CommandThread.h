#pragma once
// C_CommandThread: a worker that executes queued commands one at a time, in the order posted, so that slow work
// (opening ports, enumerating devices, paced sending) never runs on the user-interface thread. The handler sees
// three phases: starting (false ends the thread at once), one call per command (false leaves the command queued
// and waits for the next wake-up), and ending.
#include "connection/threads/Event.h"
#include "connection/threads/LockedList.h"
#include "connection/threads/Thread.h"

enum CommandPhase : unsigned {
    PHASE_STARTING = 0,
    PHASE_COMMAND = 1,
    PHASE_ENDING = 2,
};

// entry is null outside PHASE_COMMAND. Runs on the command thread.
using CommandHandler = bool (*)(CommandPhase phase, C_ListEntry* entry, void* context);

class C_CommandThread {
public:
    C_CommandThread() = default;
    ~C_CommandThread() { Stop(); }
    C_CommandThread(const C_CommandThread&) = delete;
    C_CommandThread& operator=(const C_CommandThread&) = delete;

    bool Start(CommandHandler handler, void* context);
    // Queues entry and wakes the thread. False for a missing entry or when the thread is not running: the
    // entry then still belongs to the caller, who deletes it.
    bool PostCommand(C_ListEntry* entry);
    // Lets the running command finish, skips (and deletes) what is still queued, runs the ending phase and
    // waits for the thread while dispatching the caller's window messages; a quit message that arrives meanwhile
    // is posted again once the thread has ended. Harmless when not running.
    void Stop();

    bool IsRunning() const { return m_thread.IsRunning(); }
    // True once every posted command has been executed: an entry leaves the queue only when it is done.
    bool IsIdle() { return m_queue.IsEmpty(); }

private:
    class WakeUpEntry : public C_ListEntry {};

    static DWORD Loop(void* self, DWORD);
    void RunQueued();

    C_Thread m_thread;
    C_Handle m_wake; // auto-reset, signalled by every post
    C_LockedList m_queue;
    CommandHandler m_handler = nullptr;
    void* m_context = nullptr;
};
