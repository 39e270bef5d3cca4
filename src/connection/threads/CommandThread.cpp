#include "connection/threads/CommandThread.h"

bool C_CommandThread::Start(CommandHandler handler, void* context) {
    if (!handler || m_thread.IsRunning())
        return false;
    m_wake = CreateAutoResetEvent();
    if (!m_wake)
        return false;
    m_handler = handler;
    m_context = context;
    if (!m_thread.Start(&C_CommandThread::Loop, this)) {
        m_wake.Reset();
        return false;
    }
    return true;
}

bool C_CommandThread::PostCommand(C_ListEntry* entry) {
    if (!entry || m_thread.IsFinished())
        return false;
    if (!m_queue.Append(entry))
        return false;
    SetEvent(m_wake.Get());
    return true;
}

void C_CommandThread::Stop() {
    // The stop is requested before the wake-up is posted, so the loop sees it before it could hand the wake-up
    // entry (or anything queued behind the running command) to the handler.
    if (m_thread.RequestStop()) {
        C_ListEntry* wakeUp = new WakeUpEntry;
        if (!PostCommand(wakeUp))
            delete wakeUp;
        // What follows frees the wake event and the queue, which the loop uses until its very end: a quit
        // message must not cut this wait short.
        while (!m_thread.WaitFinished(C_Thread::kNoLimit, QuitMessage::Deferred) && m_thread.IsRunning()) {
        }
    }
    m_wake.Reset();
    m_queue.Clear();
}

DWORD C_CommandThread::Loop(void* self, DWORD) {
    C_CommandThread& worker = *static_cast<C_CommandThread*>(self);
    if (!worker.m_handler(PHASE_STARTING, nullptr, worker.m_context))
        return 0;
    while (!worker.m_thread.StopRequested()) {
        if (!WaitForEvent(worker.m_wake.Get(), INFINITE))
            break;
        worker.RunQueued();
    }
    worker.m_handler(PHASE_ENDING, nullptr, worker.m_context);
    return 0;
}

void C_CommandThread::RunQueued() {
    while (C_ListEntry* entry = m_queue.First()) {
        if (m_thread.StopRequested() || !m_handler(PHASE_COMMAND, entry, m_context))
            return; // the entry stays queued
        m_queue.Remove(entry);
        delete entry;
    }
}
