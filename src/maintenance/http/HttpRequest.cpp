#include "maintenance/http/HttpRequest.h"

#include "foundation/base/File.h"
#include "maintenance/http/HttpForm.h"
#include "maintenance/http/RateLimiter.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION |
                                           SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kRequestFlags == 0x84000300 && kIgnoreCertificateErrors == 0x3380,
              "the request flags servers and proxies have always seen");
constexpr DWORD kFtpFlags = FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD;
constexpr DWORD kProxyDialogFlags =
    FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;
constexpr DWORD kHttpsPort = INTERNET_DEFAULT_HTTPS_PORT;
constexpr DWORD kReadBlock = 65538;
constexpr DWORD kReadPiece = 65537;
constexpr DWORD kWritePiece = 65536;
constexpr DWORD kPresetStatus = HTTP_STATUS_OK;
constexpr const wchar_t* kAnyType[] = {L"*/*", nullptr};
constexpr uint32_t kAllBits32 = 0xFFFFFFFF;
constexpr int64_t kUnknownLength = -1;
constexpr const wchar_t* kPostVerb = L"POST";

// Without a notification function every question is answered with "go on" and every flag is left as preset.
int Notify(const HttpRequest& request, int code, uintptr_t data) {
    return request.notify ? request.notify(code, data, request.userData) : 1;
}

uintptr_t Low32(uint64_t value) {
    return uintptr_t(value > kAllBits32 ? kAllBits32 : value);
}

// Where the answer's body goes.
class C_BodyTarget {
public:
    bool Choose(HttpRequest& request) {
        int toFile = 0;
        Notify(request, REQUEST_BODY_TO_FILE, uintptr_t(&toFile));
        Notify(request, REQUEST_BODY_TO_BLOCK, uintptr_t(&m_block));
        if (toFile && request.response)
            return m_file.Open(request.response->c_str(), C_File::MODE_WRITE_CREATE) == 1;
        if (!m_block && request.response) {
            m_response = request.response;
            return m_response->Assign(L"");
        }
        return true;
    }

    bool Take(const char* bytes, DWORD count) {
        if (m_file.IsOpen())
            return m_file.Write(count, bytes) == 1;
        if (m_block) {
            uint32_t used = m_block->Count();
            if (!m_block->Reserve(used + count))
                return false;
            memcpy(m_block->Data() + used, bytes, count);
            m_block->SetCount(used + count);
            return true;
        }
        if (!m_response)
            return true;
        for (DWORD i = 0; i < count; ++i)
            if (!m_response->AppendByte(static_cast<unsigned char>(bytes[i])))
                return false;
        return true;
    }

private:
    C_File m_file;
    C_DynamicBuffer<char>* m_block = nullptr;
    C_String* m_response = nullptr;
};

class C_Exchange {
public:
    C_Exchange(C_HttpClient& client, HttpRequest& request)
        : m_request(request), m_wininet(client.GetWinInet()), m_use(m_wininet) {}

    bool Run();

private:
    bool Connect();
    bool Open();
    bool Send();
    bool SendForm();
    bool WritePart(const INTERNET_BUFFERSW& part, uint64_t& sent);
    bool SendWithoutClientCertificate();
    bool SendWithRetries();
    void ReportAnswer();
    bool ReadBody();
    void SetStatus(DWORD status) {
        if (m_request.status)
            *m_request.status = status;
    }

    HttpRequest& m_request;
    C_WinInet& m_wininet;
    C_WinInetUse m_use;
    const WinInetFunctions* m_f = nullptr;
    bool m_secure = false;
    DWORD m_service = SERVICE_HTTP;
    C_InternetHandle m_session;
    C_InternetHandle m_connection;
    C_InternetHandle m_handle;
    C_BodyTarget m_target;
    int64_t m_length = kUnknownLength;
    bool m_aborted = false;
};

bool C_Exchange::Run() {
    SetStatus(kPresetStatus);
    m_service = m_request.service;
    if (m_service == SERVICE_HTTPS) {
        m_service = SERVICE_HTTP;
        m_secure = true;
    }
    if (!m_target.Choose(m_request) || !m_use)
        return false;
    m_f = &m_wininet.Functions();
    if (!Connect() || !Open())
        return false;
    if (m_service == SERVICE_HTTP) {
        if (!SendWithRetries())
            return false;
        ReportAnswer();
        if (m_aborted)
            return false;
    }
    return ReadBody();
}

bool C_Exchange::Connect() {
    const WinInetFunctions& f = *m_f;
    m_session = OpenInternetSession(f, m_request.agent, m_request.proxy, m_request.timeout);
    if (!m_session)
        return false;
    BOOL decode = TRUE;
    f.InternetSetOptionW(m_session.Get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
    m_connection = C_InternetHandle(f, f.InternetConnectW(m_session.Get(), m_request.host, m_request.port,
                                                          m_request.user, m_request.password, m_service, 0, 0));
    if (!m_connection)
        return false;
    int endSession = 0;
    Notify(m_request, REQUEST_END_SESSION, uintptr_t(&endSession));
    if (endSession == 1)
        f.InternetSetOptionW(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
    if (m_request.proxyUser && *m_request.proxyUser)
        f.InternetSetOptionW(m_connection.Get(), INTERNET_OPTION_PROXY_USERNAME,
                             const_cast<wchar_t*>(m_request.proxyUser), DWORD(wcslen(m_request.proxyUser)));
    if (m_request.proxyPassword && *m_request.proxyPassword)
        f.InternetSetOptionW(m_connection.Get(), INTERNET_OPTION_PROXY_PASSWORD,
                             const_cast<wchar_t*>(m_request.proxyPassword), DWORD(wcslen(m_request.proxyPassword)));
    DWORD total = m_request.buffers ? m_request.buffers->dwBufferTotal : 0;
    return Notify(m_request, REQUEST_TOTAL_SIZE, total) != 0;
}

bool C_Exchange::Open() {
    const WinInetFunctions& f = *m_f;
    if (m_service == SERVICE_FTP) {
        m_handle = C_InternetHandle(f, f.FtpOpenFileW(m_connection.Get(), m_request.path, GENERIC_READ, kFtpFlags, 0));
    } else {
        DWORD flags = kRequestFlags;
        if (!Notify(m_request, REQUEST_ALLOW_COOKIES, uintptr_t(m_request.path)))
            flags |= INTERNET_FLAG_NO_COOKIES;
        if (!Notify(m_request, REQUEST_ALLOW_REDIRECTS, uintptr_t(m_request.path)))
            flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (m_request.port == kHttpsPort || m_secure)
            flags |= INTERNET_FLAG_SECURE;
        const wchar_t** types = m_request.acceptTypes ? m_request.acceptTypes : const_cast<const wchar_t**>(kAnyType);
        m_handle = C_InternetHandle(f, f.HttpOpenRequestW(m_connection.Get(), m_request.verb, m_request.path, nullptr,
                                                          nullptr, types, flags, 0));
        if (m_handle) {
            int checkCertificates = 0;
            Notify(m_request, REQUEST_CHECK_CERTIFICATES, uintptr_t(&checkCertificates));
            if (!checkCertificates) {
                DWORD ignore = kIgnoreCertificateErrors;
                f.InternetSetOptionW(m_handle.Get(), INTERNET_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore);
            }
        }
    }
    if (!m_handle)
        return false;
    RequestHeaderHook hook{f.HttpAddRequestHeadersW, m_handle.Get()};
    return Notify(m_request, REQUEST_ADD_HEADERS, uintptr_t(&hook)) != 0;
}

bool C_Exchange::Send() {
    if (m_request.buffers)
        return SendForm();
    DWORD length = m_request.optionalLength;
    if (length == HttpRequest::kTextLength)
        length = m_request.optional ? DWORD(strlen(m_request.optional)) : 0;
    if (m_f->HttpSendRequestW(m_handle.Get(), m_request.headers, m_request.headersLength,
                              const_cast<char*>(m_request.optional), length))
        return true;
    SetStatus(GetLastError());
    return false;
}

// The first part goes with the headers; the others are written after it, each in one piece unless someone
// watches the progress or the rate is limited.
bool C_Exchange::SendForm() {
    const WinInetFunctions& f = *m_f;
    INTERNET_BUFFERSW* first = m_request.buffers;
    if (!f.HttpSendRequestExW(m_handle.Get(), first, m_request.buffersOut, 0, 0))
        return false;
    uint64_t sent = first->dwBufferLength;
    if (!Notify(m_request, REQUEST_SENT, Low32(sent)))
        return false;
    for (const INTERNET_BUFFERSW* part = first->Next; part; part = part->Next)
        if (!WritePart(*part, sent))
            return false;
    return f.HttpEndRequestW(m_handle.Get(), nullptr, 0, 0) != FALSE;
}

bool C_Exchange::WritePart(const INTERNET_BUFFERSW& part, uint64_t& sent) {
    const char* bytes = static_cast<const char*>(part.lpvBuffer);
    DWORD remaining = part.dwBufferLength;
    bool whole = !m_request.notify && !m_request.uploadLimit;
    C_RateLimiter pace(m_request.uploadLimit);
    while (remaining) {
        DWORD piece = whole || remaining < kWritePiece ? remaining : kWritePiece;
        DWORD written = 0;
        if (!m_f->InternetWriteFile(m_handle.Get(), bytes, piece, &written) || written != piece)
            return false;
        bytes += piece;
        remaining -= piece;
        sent += piece;
        if (!whole) {
            if (!Notify(m_request, REQUEST_SENT, Low32(sent)))
                return false;
            pace.AfterPiece(piece);
        }
    }
    return true;
}

// A proxy that wants credentials gets the system's password dialog and, when the user gives them, the request
// once more; a server that asks for a client certificate gets the request again without one.
bool C_Exchange::SendWithoutClientCertificate() {
    if (Send())
        return true;
    if (GetLastError() != ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED)
        return false;
    m_f->InternetSetOptionW(m_handle.Get(), INTERNET_OPTION_SECURITY_SELECT_CLIENT_CERT, nullptr, 0);
    return Send();
}

bool C_Exchange::SendWithRetries() {
    const WinInetFunctions& f = *m_f;
    if (!SendWithoutClientCertificate())
        return false;
    DWORD status = QueryStatusCode(f, m_handle.Get());
    SetStatus(status);
    if (status != HTTP_STATUS_PROXY_AUTH_REQ)
        return true;
    HWND owner = m_request.window ? m_request.window : GetForegroundWindow();
    if (f.InternetErrorDlg(owner, m_handle.Get(), ERROR_INTERNET_INCORRECT_PASSWORD, kProxyDialogFlags, nullptr) !=
        ERROR_INTERNET_FORCE_RETRY)
        return true; // the 407 answer is the answer
    if (!SendWithoutClientCertificate())
        return false;
    SetStatus(QueryStatusCode(f, m_handle.Get()));
    return true;
}

void C_Exchange::ReportAnswer() {
    const WinInetFunctions& f = *m_f;
    wchar_t text[32];
    DWORD size = sizeof text;
    if (f.HttpQueryInfoW(m_handle.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) &&
        swscanf(text, L"%I64d", &m_length) != 1)
        m_length = kUnknownLength;
    if (!m_request.notify)
        return;
    if (!Notify(m_request, REQUEST_LENGTH, m_length < 0 ? kAllBits32 : Low32(uint64_t(m_length))) ||
        !Notify(m_request, REQUEST_LENGTH_POINTER, uintptr_t(&m_length))) {
        m_aborted = true;
        return;
    }
    for (DWORD index = 0;;) {
        C_String cookie(INTERNET_MAX_URL_LENGTH);
        DWORD bytes = cookie.GetCapacity() * sizeof(wchar_t);
        if (!f.HttpQueryInfoW(m_handle.Get(), HTTP_QUERY_SET_COOKIE, cookie.GetBuffer(), &bytes, &index))
            return;
        cookie.UpdateLength();
        if (!Notify(m_request, REQUEST_COOKIE, uintptr_t(cookie.c_str()))) {
            m_aborted = true;
            return;
        }
    }
}

bool C_Exchange::ReadBody() {
    std::unique_ptr<char[]> block(new (std::nothrow) char[kReadBlock]);
    if (!block)
        return false;
    DWORD piece = kReadPiece;
    if (m_request.maxBytes >= 1 && m_request.maxBytes <= kWritePiece)
        piece = DWORD(m_request.maxBytes);
    C_RateLimiter pace(m_request.downloadLimit);
    bool readOnce = false;
    uint64_t received = 0;
    for (;;) {
        DWORD wanted = piece;
        if (m_request.maxBytes && m_request.maxBytes - received < wanted)
            wanted = DWORD(m_request.maxBytes - received);
        DWORD count = 0;
        if (!m_f->InternetReadFile(m_handle.Get(), block.get(), wanted, &count))
            break;
        readOnce = true;
        if (count == 0 || !m_target.Take(block.get(), count))
            break;
        received += count;
        pace.AfterPiece(count);
        if (!Notify(m_request, REQUEST_RECEIVED, Low32(received)))
            break;
        if (m_request.maxBytes && received >= m_request.maxBytes)
            break;
    }
    Notify(m_request, REQUEST_DONE, 0);
    return readOnce;
}

} // namespace

bool Request(C_HttpClient& client, HttpRequest& request) {
    C_Exchange exchange(client, request);
    return exchange.Run();
}

bool PostForm(C_HttpClient& client, C_HttpForm& form, HttpRequest& request, const wchar_t* extraHeaders,
              FormClosing closing) {
    bool sent = false;
    C_String headers;
    if ((closing != FORM_CLOSE || form.AddField(nullptr, nullptr, FORM_CLOSING_LINE)) && !form.IsEmpty() &&
        form.CompleteTotals() && BuildFormHeaders(request.user, request.password, extraHeaders, headers) &&
        form.SetHeaders(headers)) {
        request.verb = kPostVerb;
        request.buffers = form.GetFirst();
        sent = Request(client, request);
        request.buffers = nullptr;
    }
    form.Clear();
    return sent;
}
