#include "maintenance/http/HttpClient.h"

#include "foundation/base/File.h"
#include "maintenance/http/RateLimiter.h"

#include <cwchar>
#include <memory>
#include <new>

namespace {

constexpr DWORD kGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kDownloadFlags =
    kGetFlags | INTERNET_FLAG_PASSIVE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
constexpr DWORD kIgnoreCertificateErrors =
    INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
static_assert(kGetFlags == 0x84080B00 && kDownloadFlags == 0x8C08CB00 && kIgnoreCertificateErrors == 0x3000,
              "the request flags servers and proxies have always seen");

constexpr DWORD kProxyDialogFlags =
    FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
constexpr int kProxyRetries = 1;
constexpr int kAllowed = 1;
constexpr int64_t kUnknownLength = -1;
constexpr uint32_t kAllBits32 = 0xFFFFFFFF;

bool IsBodyStatus(DWORD status) {
    return status == HTTP_STATUS_OK || status == HTTP_STATUS_PARTIAL_CONTENT;
}

bool IsHttps(const wchar_t* url) {
    return url && _wcsnicmp(url, L"https://", 8) == 0;
}

int Notify(HttpNotifyFunction notify, void* userData, int code, uintptr_t data, int whenNone) {
    return notify ? notify(code, data, userData) : whenNone;
}

uintptr_t Low32(uint64_t value) {
    return uintptr_t(value > kAllBits32 ? kAllBits32 : value);
}

// A header's text; empty when the server did not send it.
void QueryHeader(const WinInetFunctions& f, HINTERNET request, DWORD header, C_String& out) {
    out.Empty();
    DWORD size = out.GetCapacity() * sizeof(wchar_t);
    if (f.HttpQueryInfoW(request, header, out.GetBuffer(), &size, nullptr)) {
        out.UpdateLength();
        return;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || !out.SetCapacity(size / sizeof(wchar_t) + 1)) {
        out.Empty();
        return;
    }
    size = out.GetCapacity() * sizeof(wchar_t);
    if (f.HttpQueryInfoW(request, header, out.GetBuffer(), &size, nullptr))
        out.UpdateLength();
    else
        out.Empty();
}

int64_t QueryContentLength(const WinInetFunctions& f, HINTERNET request) {
    C_String text(32);
    QueryHeader(f, request, HTTP_QUERY_CONTENT_LENGTH, text);
    int64_t length = kUnknownLength;
    if (text.IsEmpty() || swscanf(text.c_str(), L"%I64d", &length) != 1 || length < 0)
        return kUnknownLength;
    return length;
}

void QueryFinalUrl(const WinInetFunctions& f, HINTERNET request, C_String& out) {
    out.Empty(INTERNET_MAX_URL_LENGTH);
    DWORD size = out.GetCapacity() * sizeof(wchar_t);
    if (f.InternetQueryOptionW(request, INTERNET_OPTION_URL, out.GetBuffer(), &size))
        out.UpdateLength();
    else
        out.Empty();
}

} // namespace

// The internet handle of one request, known to Abort while the request runs.
class C_HttpClient::SessionInProgress {
public:
    SessionInProgress(C_HttpClient& client, C_InternetHandle session)
        : m_client(client), m_session(std::move(session)) {
        if (m_session && !m_client.Register(m_session.Get()))
            m_session.Reset();
    }
    ~SessionInProgress() {
        if (!m_session)
            return;
        if (m_client.Unregister(m_session.Get()))
            m_session.Reset();
        else
            m_session.Detach(); // Abort closed it
    }
    SessionInProgress(const SessionInProgress&) = delete;
    SessionInProgress& operator=(const SessionInProgress&) = delete;

    HINTERNET Get() const { return m_session.Get(); }
    explicit operator bool() const { return bool(m_session); }

private:
    C_HttpClient& m_client;
    C_InternetHandle m_session;
};

bool C_HttpClient::Register(HINTERNET session) {
    C_Lock lock(m_sessionLock);
    if (m_aborted)
        return false;
    m_session = session;
    return true;
}

bool C_HttpClient::Unregister(HINTERNET session) {
    C_Lock lock(m_sessionLock);
    if (m_session != session)
        return false;
    m_session = nullptr;
    return true;
}

void C_HttpClient::Abort() {
    C_Lock lock(m_sessionLock);
    m_aborted = true;
    if (!m_session)
        return;
    // Documented to end the blocking calls another thread makes on the handle or its children.
    m_wininet.Functions().InternetCloseHandle(m_session);
    m_session = nullptr;
}

void C_HttpClient::AllowRequests() {
    C_Lock lock(m_sessionLock);
    m_aborted = false;
}

bool C_HttpClient::Get(const wchar_t* url, const wchar_t* agent, C_String& out, uint32_t maxBytes, const wchar_t* proxy,
                       HttpNotifyFunction notify, void* userData) {
    out.Empty();
    C_WinInetUse use(m_wininet);
    if (!use || !url)
        return false;
    const WinInetFunctions& f = m_wininet.Functions();
    DWORD flags = kGetFlags;
    if (IsHttps(url))
        flags |= INTERNET_FLAG_SECURE;
    if (Notify(notify, userData, GET_ALLOW_COOKIES, uintptr_t(url), 0) == kAllowed)
        flags &= ~INTERNET_FLAG_NO_COOKIES;

    SessionInProgress session(*this, OpenInternetSession(f, agent, proxy, m_timeout));
    if (!session)
        return false;
    for (int retry = 0;; ++retry) {
        C_InternetHandle request(f, f.InternetOpenUrlW(session.Get(), url, kAcceptAll, DWORD(-1), flags, 0));
        if (!request)
            return false;
        const DWORD status = QueryStatusCode(f, request.Get());
        if (IsBodyStatus(status))
            return ReadBody(request.Get(), out, maxBytes);
        if (status != HTTP_STATUS_PROXY_AUTH_REQ || retry >= kProxyRetries)
            return false;
        const ErrorDialogFunction dialog = m_errorDialog ? m_errorDialog : f.InternetErrorDlg;
        if (dialog(GetForegroundWindow(), request.Get(), ERROR_INTERNET_INCORRECT_PASSWORD, kProxyDialogFlags,
                   nullptr) != ERROR_INTERNET_FORCE_RETRY)
            return false;
    }
}

bool C_HttpClient::ReadBody(HINTERNET request, C_String& out, uint32_t maxBytes) {
    const WinInetFunctions& f = m_wininet.Functions();
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[kGetPiece + 1]);
    std::unique_ptr<wchar_t[]> units(new (std::nothrow) wchar_t[kGetPiece + 1]);
    if (!bytes || !units)
        return false;
    const int64_t length = QueryContentLength(f, request);
    uint32_t total = 0;
    for (;;) {
        DWORD wanted = kGetPiece;
        if (maxBytes && maxBytes - total < wanted)
            wanted = maxBytes - total;
        DWORD count = 0;
        // A read that fails part way, or a connection that ends before the announced length, leaves a cut
        // body, which must not pass for the answer.
        if (!f.InternetReadFile(request, bytes.get(), wanted, &count))
            return false;
        if (count == 0)
            return length < 0 || total >= length;
        for (DWORD i = 0; i < count; ++i)
            units[i] = wchar_t(bytes[i]);
        if (!out.Append(units.get(), count))
            return false;
        total += count;
        if (maxBytes && total >= maxBytes)
            return true;
    }
}

// One download in the steps it takes: open the address, ask the caller about the headers, open the file, pump
// the body into it, verify what arrived, then finish or undo. Each step returns false to stop the ones after
// it; the system error of the first failure goes to the caller's failure notice.
class C_HttpClient::DownloadSteps {
public:
    DownloadSteps(C_HttpClient& client, DownloadRequest& request)
        : m_client(client), m_request(request), m_f(client.m_wininet.Functions()) {}

    bool Run() {
        const DWORD flags = Flags();
        bool ok = false;
        {
            SessionInProgress session(m_client, OpenInternetSession(m_f, m_request.agent, m_request.proxy, Timeout()));
            ok = OpenAddress(session, flags) && AskAboutHeaders() && OpenFile() && Pump();
            ok = Verify(ok);
            m_http.Reset(); // before the session it belongs to
        }
        if (!ok)
            Undo();
        m_file.Close();
        return ok;
    }

private:
    int Notify(int code, uintptr_t data, int whenNone) {
        return m_request.notify ? m_request.notify(code, data, m_request.userData) : whenNone;
    }
    bool Fail(DWORD error) {
        m_error = error;
        return false;
    }
    DWORD Timeout() const { return m_request.timeout != kNoTimeout ? m_request.timeout : m_client.m_timeout; }
    DWORD Flags();
    bool OpenAddress(const SessionInProgress& session, DWORD flags);
    bool AskAboutHeaders();
    bool OpenFile();
    bool Pump();
    bool Verify(bool ok);
    void Undo();

    C_HttpClient& m_client;
    DownloadRequest& m_request;
    const WinInetFunctions& m_f;
    C_InternetHandle m_http;
    C_File m_file;
    bool m_appending = false;
    int64_t m_appendedTo = 0;
    int64_t m_length = kUnknownLength;
    uint64_t m_received = 0;
    bool m_capped = false;
    DWORD m_error = 0;
};

DWORD C_HttpClient::DownloadSteps::Flags() {
    DWORD flags = kDownloadFlags;
    if (Notify(DOWNLOAD_ALLOW_COOKIES, uintptr_t(m_request.url), 0) == kAllowed)
        flags &= ~INTERNET_FLAG_NO_COOKIES;
    int checkCertificates = 0;
    Notify(DOWNLOAD_CHECK_CERTIFICATES, uintptr_t(&checkCertificates), 0);
    if (!checkCertificates)
        flags |= kIgnoreCertificateErrors;
    else
        // Checked certificates are worth nothing if a redirect may leave TLS for plain HTTP.
        flags &= ~INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;
    return flags;
}

bool C_HttpClient::DownloadSteps::OpenAddress(const SessionInProgress& session, DWORD flags) {
    if (!session)
        return Fail(GetLastError());
    m_http = C_InternetHandle(
        m_f, m_f.InternetOpenUrlW(session.Get(), m_request.url, m_request.headers, m_request.headersLength, flags, 0));
    if (!m_http)
        return Fail(GetLastError());
    m_request.status = QueryStatusCode(m_f, m_http.Get());
    return IsBodyStatus(m_request.status);
}

bool C_HttpClient::DownloadSteps::AskAboutHeaders() {
    C_String header;
    QueryHeader(m_f, m_http.Get(), HTTP_QUERY_CONTENT_DISPOSITION, header);
    const DownloadHeader disposition{m_request.destination, header.c_str()};
    if (!Notify(DOWNLOAD_CONTENT_DISPOSITION, uintptr_t(&disposition), 1))
        return false;
    QueryHeader(m_f, m_http.Get(), HTTP_QUERY_CONTENT_TYPE, header);
    const DownloadHeader type{m_request.destination, header.c_str()};
    if (!Notify(DOWNLOAD_CONTENT_TYPE, uintptr_t(&type), 1))
        return false;
    int append = 0;
    Notify(DOWNLOAD_APPEND, uintptr_t(&append), 0);
    m_appending = append != 0;
    return true;
}

// Shared for deletion, so whoever gives up on a download that hangs can delete its file at once.
bool C_HttpClient::DownloadSteps::OpenFile() {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
    bool opened =
        m_file.Open(m_request.destination, m_appending ? C_File::MODE_WRITE_ALWAYS : C_File::MODE_WRITE_CREATE,
                    FILE_ATTRIBUTE_NORMAL, kShare) == 1;
    if (opened && m_appending) {
        m_appendedTo = m_file.GetSize();
        opened = m_appendedTo >= 0 && m_file.Seek(0, FILE_END);
    }
    if (!opened) {
        const DWORD error = GetLastError();
        m_file.Close();
        m_request.status = DownloadRequest::kStatusUnwritable;
        return Fail(error);
    }
    m_length = QueryContentLength(m_f, m_http.Get());
    // Sized up front so the file system can place it in one piece; cut to what arrived at the end.
    if (m_length > 0 && !m_appending && !(m_file.Seek(m_length) && SetEndOfFile(m_file.GetHandle()) && m_file.Seek(0)))
        return Fail(GetLastError());
    C_String finalUrl;
    QueryFinalUrl(m_f, m_http.Get(), finalUrl);
    return Notify(DOWNLOAD_LENGTH, m_length < 0 ? kAllBits32 : Low32(uint64_t(m_length)), 1) &&
           Notify(DOWNLOAD_LENGTH_POINTER, uintptr_t(&m_length), 1) &&
           Notify(DOWNLOAD_FINAL_URL, uintptr_t(finalUrl.c_str()), 1);
}

bool C_HttpClient::DownloadSteps::Pump() {
    unsigned char piece[kDownloadPiece];
    C_RateLimiter limiter(m_request.rateLimit);
    for (;;) {
        DWORD wanted = kDownloadPiece;
        if (m_request.maxBytes && m_request.maxBytes - m_received < wanted)
            wanted = DWORD(m_request.maxBytes - m_received);
        DWORD count = 0;
        if (!m_f.InternetReadFile(m_http.Get(), piece, wanted, &count))
            return Fail(GetLastError());
        if (count == 0)
            return true;
        if (!m_file.Write(count, piece))
            return Fail(GetLastError());
        m_received += count;
        limiter.AfterPiece(count);
        if (!Notify(DOWNLOAD_PROGRESS, Low32(m_received), 1) ||
            !Notify(DOWNLOAD_PROGRESS_POINTER, uintptr_t(&m_received), 1))
            return false;
        if (m_request.maxBytes && m_received >= m_request.maxBytes) {
            m_capped = true;
            return true;
        }
    }
}

// Runs whatever the steps before it did, as long as the file was opened: the caller hears of every file.
bool C_HttpClient::DownloadSteps::Verify(bool ok) {
    if (!m_file.IsOpen())
        return false;
    // A connection that ends early reads as an ordinary end: without this the pre-sized file would pass for
    // complete, its tail zeros.
    if (ok && !m_capped && m_length >= 0 && int64_t(m_received) < m_length)
        ok = Fail(ERROR_HANDLE_EOF);
    // The file was sized to the announced length; it keeps what arrived, also when a failed download's file is
    // kept.
    if (!m_appending && !SetEndOfFile(m_file.GetHandle()) && ok)
        ok = Fail(GetLastError());
    if (m_received == 0)
        ok = false;
    if (!Notify(DOWNLOAD_FINISHED, Low32(m_received), 1))
        ok = false;
    return ok;
}

void C_HttpClient::DownloadSteps::Undo() {
    DownloadFailure failure{m_error, 1, false};
    Notify(DOWNLOAD_FAILED, uintptr_t(&failure), 0);
    if (!m_file.IsOpen())
        return;
    if (m_appending) {
        // What was there before the download is the caller's, not ours to delete.
        m_file.Seek(m_appendedTo);
        SetEndOfFile(m_file.GetHandle());
        return;
    }
    m_file.Close();
    if (failure.deleteFile)
        DeleteFileW(m_request.destination);
}

bool C_HttpClient::Download(DownloadRequest& request) {
    request.status = 0;
    C_WinInetUse use(m_wininet);
    if (!use || !request.url || !request.destination)
        return false;
    return DownloadSteps(*this, request).Run();
}
