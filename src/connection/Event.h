#pragma once
// Handles and events shared by the threads and transports. A handle has exactly one owner, so the wrapper moves
// but never copies; the wait helper is the one every waiting piece of code uses, so all waits treat time-outs,
// abandoned objects and completed asynchronous procedure calls alike.
#include <windows.h>

// Owns a kernel handle (null or INVALID_HANDLE_VALUE mean none) and closes it once.
class C_Handle {
public:
    C_Handle() = default;
    explicit C_Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~C_Handle() { Close(); }
    C_Handle(C_Handle&& other) noexcept : m_handle(other.Release()) {}
    C_Handle& operator=(C_Handle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    C_Handle(const C_Handle&) = delete;
    C_Handle& operator=(const C_Handle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != nullptr; }
    explicit operator bool() const { return IsValid(); }
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        Close();
        m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    void Close() {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};

// A new unnamed, non-signalled event; an invalid handle when the system refuses one.
C_Handle CreateAutoResetEvent();
C_Handle CreateManualResetEvent();

// Waits for event (and second, when given) up to milliseconds (INFINITE for no limit). The wait is alertable: a
// completed asynchronous procedure call resumes it with the remaining time. True when an object is signalled or
// abandoned; false on time-out (timedOut set) or on any other failure (timedOut cleared).
bool WaitForEvent(HANDLE event, DWORD milliseconds, bool* timedOut = nullptr, HANDLE second = nullptr);
