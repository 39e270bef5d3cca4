#include "maintenance/http/WinInet.h"

#include <cwchar>

namespace {

constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
constexpr DWORD kEnableHttp2 = HTTP_PROTOCOL_FLAG_HTTP2;

// A bare library name is loaded from the system folder only, never from the current or the program's folder,
// where a planted copy could be waiting.
HMODULE LoadQuietly(const wchar_t* library) {
    wchar_t path[MAX_PATH];
    const wchar_t* file = library;
    if (!wcschr(library, L'\\')) {
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + wcslen(library) + 2 > MAX_PATH)
            return nullptr;
        path[length] = L'\\';
        wcscpy(path + length + 1, library);
        file = path;
    }
    DWORD previous = 0;
    const bool quiet = SetThreadErrorMode(kQuietErrorMode, &previous);
    HMODULE module = LoadLibraryW(file);
    if (quiet)
        SetThreadErrorMode(previous, nullptr);
    return module;
}

template <class Function> bool ResolveOne(HMODULE module, const char* name, Function& out) {
    out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return out != nullptr;
}

} // namespace

C_WinInet::~C_WinInet() {
    // A client destroyed while a request still holds the library leaves it loaded: handles may be open.
    if (m_loadCount != 0)
        m_module.Detach();
}

bool C_WinInet::Load() {
    C_Lock lock(m_lock);
    if (m_loadCount == 0) {
        m_module.Reset(LoadQuietly(m_library));
        if (!m_module || !Resolve()) {
            m_functions = WinInetFunctions{};
            m_module.Reset();
            return false;
        }
    }
    ++m_loadCount;
    return true;
}

void C_WinInet::Release() {
    C_Lock lock(m_lock);
    if (m_loadCount == 0 || --m_loadCount != 0)
        return;
    m_functions = WinInetFunctions{};
    m_module.Reset();
}

bool C_WinInet::Resolve() {
    HMODULE module = m_module.Get();
    WinInetFunctions& f = m_functions;
    return ResolveOne(module, "HttpSendRequestW", f.HttpSendRequestW) &&
           ResolveOne(module, "HttpSendRequestExW", f.HttpSendRequestExW) &&
           ResolveOne(module, "HttpAddRequestHeadersW", f.HttpAddRequestHeadersW) &&
           ResolveOne(module, "HttpEndRequestW", f.HttpEndRequestW) &&
           ResolveOne(module, "InternetGetCookieW", f.InternetGetCookieW) &&
           ResolveOne(module, "InternetGetCookieExW", f.InternetGetCookieExW) &&
           ResolveOne(module, "InternetSetCookieW", f.InternetSetCookieW) &&
           ResolveOne(module, "InternetSetCookieExW", f.InternetSetCookieExW) &&
           ResolveOne(module, "InternetQueryOptionW", f.InternetQueryOptionW) &&
           ResolveOne(module, "InternetOpenW", f.InternetOpenW) &&
           ResolveOne(module, "HttpOpenRequestW", f.HttpOpenRequestW) &&
           ResolveOne(module, "FtpOpenFileW", f.FtpOpenFileW) &&
           ResolveOne(module, "InternetSetOptionW", f.InternetSetOptionW) &&
           ResolveOne(module, "InternetErrorDlg", f.InternetErrorDlg) &&
           ResolveOne(module, "HttpQueryInfoW", f.HttpQueryInfoW) &&
           ResolveOne(module, "InternetConnectW", f.InternetConnectW) &&
           ResolveOne(module, "InternetWriteFile", f.InternetWriteFile) &&
           ResolveOne(module, "InternetReadFile", f.InternetReadFile) &&
           ResolveOne(module, "InternetCloseHandle", f.InternetCloseHandle) &&
           ResolveOne(module, "InternetOpenUrlW", f.InternetOpenUrlW) &&
           ResolveOne(module, "InternetCrackUrlW", f.InternetCrackUrlW);
}

C_InternetHandle OpenInternetSession(const WinInetFunctions& functions, const wchar_t* agent, const wchar_t* proxy,
                                     DWORD timeout) {
    const bool namedProxy = proxy && *proxy;
    C_InternetHandle session(
        functions, functions.InternetOpenW(agent, namedProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
                                           namedProxy ? proxy : nullptr, nullptr, 0));
    if (!session)
        return session;
    // Systems that predate HTTP/2 refuse the option; the request then simply goes out as HTTP/1.1.
    DWORD protocols = kEnableHttp2;
    functions.InternetSetOptionW(session.Get(), INTERNET_OPTION_ENABLE_HTTP_PROTOCOL, &protocols, sizeof protocols);
    if (timeout != kNoTimeout) {
        // Each phase has its own limit: a server that takes the request and never answers holds the caller no
        // longer than it chose, whichever phase it stops in.
        for (DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD value = timeout;
            functions.InternetSetOptionW(session.Get(), option, &value, sizeof value);
        }
    }
    return session;
}

DWORD QueryStatusCode(const WinInetFunctions& functions, HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!functions.HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}
