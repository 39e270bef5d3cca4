#pragma once
// C_HttpClient: the few HTTP exchanges the program makes besides its terminal connections: fetching the update
// description into a string and downloading update files to disk. Calls are synchronous on the caller's thread;
// wininet.dll is loaded when a request starts and released when it ends (C_WinInet). One client serves one
// request at a time; Abort may come from any thread.
#include "foundation/base/TextString.h"
#include "maintenance/http/WinInet.h"

#include <windows.h>

#include <cstdint>

// What a request tells its caller, and asks of it, on the way. The caller's notification function receives the
// code, a value or pointer as described per code, and its own user data; for most codes 0 means abort. Each
// operation has codes of its own; their values are the ones callers have always been given.
enum GetNotice : int {
    GET_ALLOW_COOKIES = 9, // const wchar_t* url; 1 allows cookies
};

enum DownloadNotice : int {
    DOWNLOAD_CONTENT_DISPOSITION = 0, // const DownloadHeader*; 0 aborts
    DOWNLOAD_CONTENT_TYPE = 1,        // const DownloadHeader*; 0 aborts
    DOWNLOAD_APPEND = 2,              // int* preset 0; set it to append to an existing file
    DOWNLOAD_FAILED = 3,              // DownloadFailure*; clear deleteFile to keep the partial file
    DOWNLOAD_LENGTH = 4,              // the content length (low 32 bits; all ones when unknown); 0 aborts
    DOWNLOAD_LENGTH_POINTER = 5,      // const int64_t*, -1 when unknown; 0 aborts
    DOWNLOAD_FINAL_URL = 6,           // const wchar_t*, the address after redirects; 0 aborts
    DOWNLOAD_PROGRESS = 7,            // bytes so far (low 32 bits); 0 aborts
    DOWNLOAD_PROGRESS_POINTER = 8,    // const uint64_t*; 0 aborts
    DOWNLOAD_FINISHED = 9,            // bytes received (low 32 bits); 0 makes the result false
    DOWNLOAD_ALLOW_COOKIES = 10,      // const wchar_t* url; 1 allows cookies
    DOWNLOAD_CHECK_CERTIFICATES = 11, // int* preset 0; left 0, certificate name and date errors are ignored
};

using HttpNotifyFunction = int (*)(int code, uintptr_t data, void* userData);

struct DownloadHeader {
    const wchar_t* destination;
    const wchar_t* header; // the header's text, empty when the server sent none
};

struct DownloadFailure {
    DWORD error;    // the system error of the step that failed, 0 when a notification refused
    int deleteFile; // preset 1
    bool result;
};

struct DownloadRequest {
    static constexpr DWORD kStatusUnwritable = 999; // status when the destination cannot be opened
    static constexpr DWORD kHeadersTerminated = DWORD(-1);

    const wchar_t* url = nullptr;
    const wchar_t* agent = nullptr;
    const wchar_t* destination = nullptr;
    uint64_t maxBytes = 0; // 0: the whole body
    HttpNotifyFunction notify = nullptr;
    void* userData = nullptr;
    const wchar_t* headers = nullptr;
    DWORD headersLength = kHeadersTerminated;
    DWORD status = 0;           // out: the HTTP status, kStatusUnwritable, or 0 when no answer came
    DWORD timeout = kNoTimeout; // kNoTimeout: the client's
    DWORD rateLimit = 0;        // KiB per second, 0: none
    const wchar_t* proxy = nullptr;
};

class C_HttpClient {
public:
    // The credential dialog shown for a proxy's 407; replaceable so tests can answer it.
    using ErrorDialogFunction = DWORD(WINAPI*)(HWND, HINTERNET, DWORD, DWORD, LPVOID*);

    static constexpr uint32_t kGetPiece = 65537;
    static constexpr DWORD kDownloadPiece = 1024;
    static constexpr const wchar_t* kAcceptAll = L"Accept: */*\r\n\r\n";

    explicit C_HttpClient(const wchar_t* library = C_WinInet::kLibrary) : m_wininet(library) {}
    C_HttpClient(const C_HttpClient&) = delete;
    C_HttpClient& operator=(const C_HttpClient&) = delete;

    // True when the status was 200 or 206, every read of the body succeeded (an empty body included) and the body
    // was as long as announced (or maxBytes was reached). out receives the body with each byte widened to one
    // unit (callers decode UTF-8 where needed); maxBytes 0 reads all of it.
    bool Get(const wchar_t* url, const wchar_t* agent, C_String& out, uint32_t maxBytes = 0,
             const wchar_t* proxy = nullptr, HttpNotifyFunction notify = nullptr, void* userData = nullptr);

    // True when at least one piece of the body was written and nothing failed up to the end. A body shorter than
    // its announced length is a failure. On failure a file the download created is deleted (unless the
    // notification keeps it); a file appended to is cut back to its old length. While the download runs, its
    // file may be deleted by another thread (the deletion takes effect when the download closes it).
    bool Download(DownloadRequest& request);

    // The connect, send and receive time-outs of every request this client makes from now on, in milliseconds
    // (kNoTimeout: the system's); a download's own time-out goes first.
    void SetTimeout(DWORD milliseconds) { m_timeout = milliseconds; }
    DWORD GetTimeout() const { return m_timeout; }

    // Ends the request in progress (its blocking calls return with an error) and refuses new ones until
    // AllowRequests. Any thread.
    void Abort();
    void AllowRequests();

    void SetErrorDialog(ErrorDialogFunction dialog) { m_errorDialog = dialog; }

    // For the form upload that shares the loader.
    C_WinInet& GetWinInet() { return m_wininet; }

private:
    class SessionInProgress;
    class DownloadSteps;

    bool ReadBody(HINTERNET request, C_String& out, uint32_t maxBytes);
    bool Register(HINTERNET session);
    bool Unregister(HINTERNET session); // true when the session is still ours to close

    C_WinInet m_wininet;
    ErrorDialogFunction m_errorDialog = nullptr;
    DWORD m_timeout = kNoTimeout;
    C_CriticalSection m_sessionLock;
    HINTERNET m_session = nullptr; // the internet handle of the request in progress
    bool m_aborted = false;
};
