#pragma once
// C_LockedList: a doubly linked list in insertion order with a readers-writer lock, holding the command queue,
// the port lists and other lists shared between threads. Entries carry their own links; the list deletes what
// it clears, so an entry belongs to the list that holds it.
//
// The lock: writers take the first critical section and then wait until no reader is inside (the idle event);
// the first reader waits for a writer to leave, later readers join without waiting. The holder of the write side
// may also read (Contains, First, Next): its reads are covered by its write side.
#include "platform/system/Handles.h"

#include <windows.h>

#include <atomic>

class C_LockedList;

class C_ListEntry {
public:
    C_ListEntry() = default;
    virtual ~C_ListEntry() = default;
    C_ListEntry(const C_ListEntry&) = delete;
    C_ListEntry& operator=(const C_ListEntry&) = delete;

private:
    friend class C_LockedList;
    C_ListEntry* m_previous = nullptr;
    C_ListEntry* m_next = nullptr;
    C_LockedList* m_list = nullptr;
};

class C_LockedList {
public:
    C_LockedList();
    ~C_LockedList();
    C_LockedList(const C_LockedList&) = delete;
    C_LockedList& operator=(const C_LockedList&) = delete;

    void LockWrite();
    void UnlockWrite();
    void LockRead();
    void UnlockRead();

    // Each takes the write side itself; false for a missing entry or one that already is in a list.
    bool Append(C_ListEntry* entry);
    // Unlinks without deleting; false when the entry is not in this list.
    bool Remove(C_ListEntry* entry);
    // Deletes every entry.
    void Clear();

    // Each takes the read side itself. Contains compares addresses only, so it may be asked about an entry that
    // has since been deleted (a list replaced meanwhile).
    C_ListEntry* First();
    C_ListEntry* Next(C_ListEntry* entry);
    bool Contains(const C_ListEntry* entry);
    bool IsEmpty();
    unsigned Count();

private:
    bool HoldsWriteSide() const;

    C_CriticalSection m_writeSection; // held by the writer
    C_CriticalSection m_countSection; // guards the reader count
    LONG m_readers = 0;
    LONG m_writeDepth = 0;          // re-entrant holds of the write side
    std::atomic<DWORD> m_writer{0}; // thread id of the write side's holder, 0 when free
    C_Handle m_idle;                // manual-reset, signalled while no reader is inside
    C_ListEntry* m_first = nullptr;
    C_ListEntry* m_last = nullptr;
};

// Scoped holders of either side of the lock.
class C_WriteLock {
public:
    explicit C_WriteLock(C_LockedList& list) : m_list(list) { m_list.LockWrite(); }
    ~C_WriteLock() { m_list.UnlockWrite(); }
    C_WriteLock(const C_WriteLock&) = delete;
    C_WriteLock& operator=(const C_WriteLock&) = delete;

private:
    C_LockedList& m_list;
};

class C_ReadLock {
public:
    explicit C_ReadLock(C_LockedList& list) : m_list(list) { m_list.LockRead(); }
    ~C_ReadLock() { m_list.UnlockRead(); }
    C_ReadLock(const C_ReadLock&) = delete;
    C_ReadLock& operator=(const C_ReadLock&) = delete;

private:
    C_LockedList& m_list;
};

// A list of one entry type: the same list, with typed access for its users.
template <class Entry> class C_LockedListOf : public C_LockedList {
public:
    Entry* First() { return static_cast<Entry*>(C_LockedList::First()); }
    Entry* Next(Entry* entry) { return static_cast<Entry*>(C_LockedList::Next(entry)); }
};
