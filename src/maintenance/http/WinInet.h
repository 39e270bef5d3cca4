#pragma once
// WinINet reached at run time. The program does not link wininet.dll: each request loads it and releases it
// again, so a system without it simply has no network features, and a client that is idle holds nothing.
//
// C_WinInet is one client's view of the library: a load counter, the module and the table of entry points.
// Every entry point is resolved at the first load, or none is: a library that lacks one of them counts as
// missing, and each operation then fails at once.
#include "platform/system/Handles.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>

// The entry points the maintenance services use, resolved by name.
struct WinInetFunctions {
    decltype(&::HttpSendRequestW) HttpSendRequestW;
    decltype(&::HttpSendRequestExW) HttpSendRequestExW;
    decltype(&::HttpAddRequestHeadersW) HttpAddRequestHeadersW;
    decltype(&::HttpEndRequestW) HttpEndRequestW;
    decltype(&::InternetGetCookieW) InternetGetCookieW;
    decltype(&::InternetGetCookieExW) InternetGetCookieExW;
    decltype(&::InternetSetCookieW) InternetSetCookieW;
    decltype(&::InternetSetCookieExW) InternetSetCookieExW;
    decltype(&::InternetQueryOptionW) InternetQueryOptionW;
    decltype(&::InternetOpenW) InternetOpenW;
    decltype(&::HttpOpenRequestW) HttpOpenRequestW;
    decltype(&::FtpOpenFileW) FtpOpenFileW;
    decltype(&::InternetSetOptionW) InternetSetOptionW;
    decltype(&::InternetErrorDlg) InternetErrorDlg;
    decltype(&::HttpQueryInfoW) HttpQueryInfoW;
    decltype(&::InternetConnectW) InternetConnectW;
    decltype(&::InternetWriteFile) InternetWriteFile;
    decltype(&::InternetReadFile) InternetReadFile;
    decltype(&::InternetCloseHandle) InternetCloseHandle;
    decltype(&::InternetOpenUrlW) InternetOpenUrlW;
    decltype(&::InternetCrackUrlW) InternetCrackUrlW;
};

class C_WinInet {
public:
    static constexpr const wchar_t* kLibrary = L"wininet.dll";

    // library: the file to load; tests name a missing or an unrelated one.
    explicit C_WinInet(const wchar_t* library = kLibrary) : m_library(library) {}
    ~C_WinInet();
    C_WinInet(const C_WinInet&) = delete;
    C_WinInet& operator=(const C_WinInet&) = delete;

    // Counts one more user. The first loads the library (with the system's critical-error dialogs
    // suppressed) and resolves the table. False, with nothing counted, when the library or an entry point is
    // missing.
    bool Load();
    // Counts one user less; the last one frees the library.
    void Release();

    // Valid between a successful Load and its Release.
    const WinInetFunctions& Functions() const { return m_functions; }
    long GetLoadCount() const { return m_loadCount; }

private:
    bool Resolve();

    const wchar_t* m_library;
    // Loading and freeing happen under the lock, so a second user never sees a half-resolved table.
    C_CriticalSection m_lock;
    std::atomic<long> m_loadCount{0};
    C_Module m_module;
    WinInetFunctions m_functions{};
};

// One use of the library for the length of a scope.
class C_WinInetUse {
public:
    explicit C_WinInetUse(C_WinInet& wininet) : m_wininet(wininet), m_loaded(wininet.Load()) {}
    ~C_WinInetUse() {
        if (m_loaded)
            m_wininet.Release();
    }
    C_WinInetUse(const C_WinInetUse&) = delete;
    C_WinInetUse& operator=(const C_WinInetUse&) = delete;

    explicit operator bool() const { return m_loaded; }

private:
    C_WinInet& m_wininet;
    bool m_loaded;
};

// An internet handle, closed with the run-time-loaded close function. It must not outlive the library use it
// was opened under.
class C_InternetHandle {
public:
    C_InternetHandle() = default;
    C_InternetHandle(const WinInetFunctions& functions, HINTERNET handle)
        : m_close(functions.InternetCloseHandle), m_handle(handle) {}
    ~C_InternetHandle() { Reset(); }
    C_InternetHandle(C_InternetHandle&& other) noexcept : m_close(other.m_close), m_handle(other.Detach()) {}
    C_InternetHandle& operator=(C_InternetHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_close = other.m_close;
            m_handle = other.Detach();
        }
        return *this;
    }
    C_InternetHandle(const C_InternetHandle&) = delete;
    C_InternetHandle& operator=(const C_InternetHandle&) = delete;

    HINTERNET Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    HINTERNET Detach() {
        HINTERNET handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset() {
        if (m_handle && m_close)
            m_close(m_handle);
        m_handle = nullptr;
    }

private:
    decltype(&::InternetCloseHandle) m_close = nullptr;
    HINTERNET m_handle = nullptr;
};

// The internet handle every request starts with: InternetOpenW with the agent and, when proxy is not empty,
// that named proxy (else the system's configuration); HTTP/2 enabled where the system knows it; and, unless
// timeout is kNoTimeout, the connect, send and receive time-outs in milliseconds.
constexpr DWORD kNoTimeout = DWORD(-1);
C_InternetHandle OpenInternetSession(const WinInetFunctions& functions, const wchar_t* agent, const wchar_t* proxy,
                                     DWORD timeout = kNoTimeout);

// The HTTP status of a request as a number; 0 when it cannot be read.
DWORD QueryStatusCode(const WinInetFunctions& functions, HINTERNET request);
