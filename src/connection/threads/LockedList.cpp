#include "connection/threads/LockedList.h"

#include "connection/threads/Event.h"

C_LockedList::C_LockedList() : m_idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

C_LockedList::~C_LockedList() {
    Clear();
}

void C_LockedList::LockWrite() {
    m_writeSection.Enter();
    WaitForEvent(m_idle.Get(), INFINITE);
    if (m_writeDepth++ == 0)
        m_writer = GetCurrentThreadId();
}

void C_LockedList::UnlockWrite() {
    if (m_writeDepth > 0 && --m_writeDepth == 0)
        m_writer = 0;
    m_writeSection.Leave();
}

// The holder of the write side reads under its own exclusion and leaves the reader count alone. Counting it
// would let other readers join while it still writes, and its wait for the count section could meet a first
// reader that holds the count section while it waits for the write side: each holding what the other needs.
bool C_LockedList::HoldsWriteSide() const {
    return m_writer == GetCurrentThreadId();
}

void C_LockedList::LockRead() {
    if (HoldsWriteSide())
        return;
    C_Lock count(m_countSection);
    if (m_readers == 0) {
        C_Lock writer(m_writeSection); // the first reader waits for a writer to leave
        ResetEvent(m_idle.Get());
    }
    ++m_readers;
}

void C_LockedList::UnlockRead() {
    if (HoldsWriteSide())
        return;
    C_Lock count(m_countSection);
    if (m_readers > 0 && --m_readers == 0)
        SetEvent(m_idle.Get());
}

bool C_LockedList::Append(C_ListEntry* entry) {
    if (!entry || entry->m_list)
        return false;
    C_WriteLock lock(*this);
    entry->m_list = this;
    entry->m_next = nullptr;
    entry->m_previous = m_last;
    if (m_last)
        m_last->m_next = entry;
    else
        m_first = entry;
    m_last = entry;
    return true;
}

bool C_LockedList::Remove(C_ListEntry* entry) {
    if (!entry)
        return false;
    C_WriteLock lock(*this);
    if (entry->m_list != this)
        return false;
    if (entry->m_previous)
        entry->m_previous->m_next = entry->m_next;
    else
        m_first = entry->m_next;
    if (entry->m_next)
        entry->m_next->m_previous = entry->m_previous;
    else
        m_last = entry->m_previous;
    entry->m_previous = entry->m_next = nullptr;
    entry->m_list = nullptr;
    return true;
}

void C_LockedList::Clear() {
    C_WriteLock lock(*this);
    C_ListEntry* entry = m_first;
    m_first = m_last = nullptr;
    while (entry) {
        C_ListEntry* next = entry->m_next;
        entry->m_list = nullptr;
        delete entry;
        entry = next;
    }
}

C_ListEntry* C_LockedList::First() {
    C_ReadLock lock(*this);
    return m_first;
}

C_ListEntry* C_LockedList::Next(C_ListEntry* entry) {
    C_ReadLock lock(*this);
    return entry && entry->m_list == this ? entry->m_next : nullptr;
}

bool C_LockedList::Contains(const C_ListEntry* entry) {
    C_ReadLock lock(*this);
    for (const C_ListEntry* at = m_first; at; at = at->m_next)
        if (at == entry)
            return true;
    return false;
}

bool C_LockedList::IsEmpty() {
    C_ReadLock lock(*this);
    return m_first == nullptr;
}

unsigned C_LockedList::Count() {
    C_ReadLock lock(*this);
    unsigned count = 0;
    for (const C_ListEntry* at = m_first; at; at = at->m_next)
        ++count;
    return count;
}
