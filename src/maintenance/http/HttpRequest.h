#pragma once
// The general HTTP (or FTP) request behind the form upload: connect, open, send (a plain body or a form's parts
// streamed one after another), read the status and the answer. Synchronous on the caller's thread, on the
// client's run-time loaded WinINet.
#include <windows.h>

#include <wininet.h>

#include <cstdint>

#include "foundation/base/DynamicBuffer.h"
#include "foundation/base/TextString.h"
#include "maintenance/http/HttpClient.h"

class C_HttpForm;

// What Request tells its caller and asks of it (notify(code, data, userData)); for most codes 0 aborts.
enum RequestNotice : int {
    REQUEST_TOTAL_SIZE = 0,          // the form's total size; 0 aborts
    REQUEST_SENT = 1,                // bytes sent so far (low 32 bits); 0 aborts
    REQUEST_LENGTH = 2,              // the answer's content length (low 32 bits, all ones when unknown); 0 aborts
    REQUEST_LENGTH_POINTER = 3,      // const int64_t*, -1 when unknown; 0 aborts
    REQUEST_COOKIE = 4,              // const wchar_t*, one Set-Cookie header of the answer; 0 aborts
    REQUEST_RECEIVED = 5,            // bytes received so far (low 32 bits); 0 stops reading
    REQUEST_DONE = 6,                // no data: the transfer is over
    REQUEST_ADD_HEADERS = 7,         // const RequestHeaderHook*: lets the caller add headers; 0 aborts
    REQUEST_END_SESSION = 8,         // int* preset 0: set to 1 to end the browser session first
    REQUEST_ALLOW_COOKIES = 9,       // const wchar_t* path: 0 sends and keeps no cookies
    REQUEST_ALLOW_REDIRECTS = 10,    // const wchar_t* path: 0 follows no redirect
    REQUEST_BODY_TO_FILE = 11,       // int* preset 0: set it to write the body to the file named by response
    REQUEST_CHECK_CERTIFICATES = 12, // int* preset 0: left 0, certificate errors are ignored
    REQUEST_BODY_TO_BLOCK = 13,      // C_DynamicBuffer<char>** preset null: point it at a block to append to
};

struct RequestHeaderHook {
    decltype(&::HttpAddRequestHeadersW) addHeaders;
    HINTERNET request;
};

enum RequestService : DWORD {
    SERVICE_FTP = INTERNET_SERVICE_FTP,   // 1
    SERVICE_HTTP = INTERNET_SERVICE_HTTP, // 3
    SERVICE_HTTPS = 1000,                 // HTTP with TLS
};

struct HttpRequest {
    static constexpr DWORD kTextLength = DWORD(-1); // optionalLength: the optional text's own length

    const wchar_t* host = nullptr;
    const wchar_t* path = nullptr;
    const wchar_t* agent = nullptr;
    C_String* response = nullptr; // the body, each byte widened; or the target file's name (REQUEST_BODY_TO_FILE)
    HWND window = nullptr;        // owner of the proxy password dialog; the foreground window when null
    uint64_t maxBytes = 0;        // 0: the whole body
    const wchar_t* user = nullptr;
    const wchar_t* password = nullptr;
    const wchar_t* proxyUser = nullptr;
    const wchar_t* proxyPassword = nullptr;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    DWORD service = SERVICE_HTTP;
    const wchar_t* verb = nullptr;
    const char* optional = nullptr; // body of a plain send
    DWORD optionalLength = kTextLength;
    const wchar_t* headers = nullptr; // extra headers of a plain send
    DWORD headersLength = DWORD(-1);
    const wchar_t** acceptTypes = nullptr; // null: "*/*" alone
    INTERNET_BUFFERSW* buffers = nullptr;  // the first part of a form
    INTERNET_BUFFERSW* buffersOut = nullptr;
    HttpNotifyFunction notify = nullptr;
    void* userData = nullptr;
    DWORD* status = nullptr; // out: the HTTP status (preset 200), or the system error of a failed plain send
    DWORD downloadLimit = 0; // KiB per second, 0: none
    DWORD uploadLimit = 0;   // KiB per second, 0: none
    const wchar_t* proxy = nullptr;
    DWORD timeout = kNoTimeout;
};

enum FormClosing {
    FORM_LEAVE_OPEN,
    FORM_CLOSE, // adds the closing line before sending
};

// True when a read of the answer succeeded (also one that delivered nothing), whatever the status.
bool Request(C_HttpClient& client, HttpRequest& request);

// Sends the form as a POST: the closing line (when asked), the total in every part, the headers (Content-Type
// with the boundary, Basic authorisation from the request's user and password, the extra headers) with the first
// part, then Request. The form is emptied afterwards whatever the outcome.
bool PostForm(C_HttpClient& client, C_HttpForm& form, HttpRequest& request, const wchar_t* extraHeaders,
              FormClosing closing);
