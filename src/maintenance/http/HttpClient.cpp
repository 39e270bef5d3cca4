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
    if (Notify(notify, userData, NOTICE_GET_COOKIES, uintptr_t(url), 0) == kAllowed)
        flags &= ~INTERNET_FLAG_NO_COOKIES;

    SessionInProgress session(*this, OpenInternetSession(f, agent, proxy));
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

bool C_HttpClient::Download(DownloadRequest& request) {
    request.status = 0;
    C_WinInetUse use(m_wininet);
    if (!use || !request.url || !request.destination)
        return false;
    const WinInetFunctions& f = m_wininet.Functions();
    const HttpNotifyFunction notify = request.notify;
    void* const userData = request.userData;

    DWORD flags = kDownloadFlags;
    if (Notify(notify, userData, NOTICE_DOWNLOAD_COOKIES, uintptr_t(request.url), 0) == kAllowed)
        flags &= ~INTERNET_FLAG_NO_COOKIES;
    int checkCertificates = 0;
    Notify(notify, userData, NOTICE_CHECK_CERTIFICATES, uintptr_t(&checkCertificates), 0);
    if (!checkCertificates)
        flags |= kIgnoreCertificateErrors;
    else
        // Checked certificates are worth nothing if a redirect may leave TLS for plain HTTP.
        flags &= ~INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;

    bool ok = false;
    DWORD error = 0;
    bool fileOpened = false;
    bool appending = false;
    int64_t appendedTo = 0;
    C_File file;
    {
        SessionInProgress session(*this, OpenInternetSession(f, request.agent, request.proxy, request.timeout));
        C_InternetHandle http;
        if (session)
            http = C_InternetHandle(
                f, f.InternetOpenUrlW(session.Get(), request.url, request.headers, request.headersLength, flags, 0));
        if (!http)
            error = GetLastError();
        else
            request.status = QueryStatusCode(f, http.Get());

        C_String header;
        int append = 0;
        if (http && IsBodyStatus(request.status)) {
            QueryHeader(f, http.Get(), HTTP_QUERY_CONTENT_DISPOSITION, header);
            DownloadHeader disposition{request.destination, header.c_str()};
            ok = Notify(notify, userData, NOTICE_CONTENT_DISPOSITION, uintptr_t(&disposition), 1) != 0;
            if (ok) {
                QueryHeader(f, http.Get(), HTTP_QUERY_CONTENT_TYPE, header);
                DownloadHeader type{request.destination, header.c_str()};
                ok = Notify(notify, userData, NOTICE_CONTENT_TYPE, uintptr_t(&type), 1) != 0;
            }
            if (ok)
                Notify(notify, userData, NOTICE_APPEND, uintptr_t(&append), 0);
        }

        if (ok) {
            appending = append != 0;
            fileOpened =
                file.Open(request.destination, appending ? C_File::MODE_WRITE_ALWAYS : C_File::MODE_WRITE_CREATE);
            if (fileOpened && appending) {
                appendedTo = file.GetSize();
                fileOpened = appendedTo >= 0 && file.Seek(0, FILE_END);
            }
            if (!fileOpened) {
                error = GetLastError();
                request.status = DownloadRequest::kStatusUnwritable;
                ok = false;
            }
        }

        const int64_t length = ok ? QueryContentLength(f, http.Get()) : kUnknownLength;
        // Sized up front so the file system can place it in one piece; cut to what arrived at the end.
        if (ok && length > 0 && !appending) {
            ok = file.Seek(length) && SetEndOfFile(file.GetHandle()) && file.Seek(0);
            if (!ok)
                error = GetLastError();
        }
        if (ok) {
            C_String finalUrl;
            QueryFinalUrl(f, http.Get(), finalUrl);
            ok = Notify(notify, userData, NOTICE_LENGTH, length < 0 ? kAllBits32 : Low32(uint64_t(length)), 1) &&
                 Notify(notify, userData, NOTICE_LENGTH_POINTER, uintptr_t(&length), 1) &&
                 Notify(notify, userData, NOTICE_FINAL_URL, uintptr_t(finalUrl.c_str()), 1);
        }

        uint64_t received = 0;
        bool capped = false;
        if (ok) {
            unsigned char piece[kDownloadPiece];
            C_RateLimiter limiter(request.rateLimit);
            for (;;) {
                DWORD wanted = kDownloadPiece;
                if (request.maxBytes && request.maxBytes - received < wanted)
                    wanted = DWORD(request.maxBytes - received);
                DWORD count = 0;
                if (!f.InternetReadFile(http.Get(), piece, wanted, &count)) {
                    error = GetLastError();
                    ok = false;
                    break;
                }
                if (count == 0)
                    break;
                if (!file.Write(count, piece)) {
                    error = GetLastError();
                    ok = false;
                    break;
                }
                received += count;
                limiter.AfterPiece(count);
                if (!Notify(notify, userData, NOTICE_PROGRESS, Low32(received), 1) ||
                    !Notify(notify, userData, NOTICE_PROGRESS_POINTER, uintptr_t(&received), 1)) {
                    ok = false;
                    break;
                }
                if (request.maxBytes && received >= request.maxBytes) {
                    capped = true;
                    break;
                }
            }
        }
        // A connection that ends early reads as an ordinary end: without this the pre-sized file would pass
        // for complete, its tail zeros.
        if (ok && !capped && length >= 0 && int64_t(received) < length) {
            error = ERROR_HANDLE_EOF;
            ok = false;
        }
        // The file was sized to the announced length; it keeps what arrived, also when a failed download's
        // file is kept.
        if (fileOpened && !appending && !SetEndOfFile(file.GetHandle()) && ok) {
            error = GetLastError();
            ok = false;
        }
        if (received == 0)
            ok = false;
        if (fileOpened && !Notify(notify, userData, NOTICE_FINISHED, Low32(received), 1))
            ok = false;
    }

    if (!ok) {
        DownloadFailure failure{error, 1, false};
        Notify(notify, userData, NOTICE_FAILED, uintptr_t(&failure), 0);
        if (fileOpened && appending) {
            // What was there before the download is the caller's, not ours to delete.
            file.Seek(appendedTo);
            SetEndOfFile(file.GetHandle());
        }
        file.Close();
        if (fileOpened && !appending && failure.deleteFile)
            DeleteFileW(request.destination);
    }
    file.Close();
    return ok;
}
