#pragma once
// A re-entrant lock (a system critical section) and its scope guard. The line store's lock must be
// re-entrant: an operation that holds it calls others that take it again.
#include <windows.h>

class C_CriticalSection {
public:
    C_CriticalSection() { InitializeCriticalSection(&m_section); }
    ~C_CriticalSection() { DeleteCriticalSection(&m_section); }
    C_CriticalSection(const C_CriticalSection&) = delete;
    C_CriticalSection& operator=(const C_CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&m_section); }
    void Leave() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class C_Lock {
public:
    explicit C_Lock(C_CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~C_Lock() { m_section.Leave(); }
    C_Lock(const C_Lock&) = delete;
    C_Lock& operator=(const C_Lock&) = delete;

private:
    C_CriticalSection& m_section;
};
