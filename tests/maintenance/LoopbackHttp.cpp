#include "LoopbackHttp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kControlTimeout = 30000;

std::string Encoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || strchr("-_.~/", c)) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    for (const std::string& header : headers)
        if (header.size() > name.size() + 1 && _strnicmp(header.c_str(), name.c_str(), name.size()) == 0 &&
            header[name.size()] == ':')
            return header.substr(name.size() + 2);
    return {};
}

LoopbackHttp& LoopbackHttp::Instance() {
    static LoopbackHttp s_server;
    return s_server;
}

LoopbackHttp::LoopbackHttp() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    char value[64] = {};
    if (GetEnvironmentVariableA("VELTO_TEST_HTTP", value, sizeof value)) {
        const char* colon = strrchr(value, ':');
        if (colon)
            m_port = static_cast<unsigned short>(atoi(colon + 1));
    }
}

std::wstring LoopbackHttp::Url(const std::string& path) const {
    wchar_t url[512];
    _snwprintf(url, 512, L"http://127.0.0.1:%u%S", unsigned(m_port), path.c_str());
    url[511] = 0;
    return url;
}

bool LoopbackHttp::Exchange(const char* method, const std::string& target, const std::string& body,
                            std::string* reply) {
    SOCKET peer = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (peer == INVALID_SOCKET)
        return false;
    DWORD timeout = kControlTimeout;
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    bool ok = connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (ok) {
        std::string request = std::string(method) + " " + target +
                              " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        ok = send(peer, request.data(), int(request.size()), 0) == int(request.size());
    }
    char chunk[4096];
    int count = 0;
    while (ok && (count = recv(peer, chunk, sizeof chunk, 0)) > 0)
        response.append(chunk, count);
    closesocket(peer);
    const size_t headerEnd = response.find("\r\n\r\n");
    const bool answered = response.compare(0, 12, "HTTP/1.0 200") == 0 || response.compare(0, 12, "HTTP/1.1 200") == 0;
    if (!ok || count < 0 || !answered || headerEnd == std::string::npos)
        return false;
    if (reply)
        *reply = response.substr(headerEnd + 4);
    return true;
}

bool LoopbackHttp::Reset() {
    return Exchange("POST", "/_control/reset", "", nullptr);
}

bool LoopbackHttp::Release() {
    return Exchange("POST", "/_control/release", "", nullptr);
}

bool LoopbackHttp::Route(const std::string& path, const HttpAnswer& answer) {
    return SetAnswer(path, answer, false);
}

bool LoopbackHttp::Queue(const std::string& path, const HttpAnswer& answer) {
    return SetAnswer(path, answer, true);
}

bool LoopbackHttp::SetAnswer(const std::string& path, const HttpAnswer& answer, bool queue) {
    std::string target = "/_control/route?path=" + Encoded(path) + "&status=" + std::to_string(answer.status);
    for (const std::string& header : answer.headers)
        target += "&header=" + Encoded(header);
    if (answer.noLength)
        target += "&length=-1";
    else if (answer.length != HttpAnswer::kNone)
        target += "&length=" + std::to_string(answer.length);
    if (answer.cut != HttpAnswer::kNone)
        target += "&cut=" + std::to_string(answer.cut);
    if (answer.stall)
        target += "&stall=1";
    if (answer.silent)
        target += "&silent=1";
    if (answer.endless)
        target += "&endless=1";
    if (queue)
        target += "&queue=1";
    return Exchange("POST", target, answer.body, nullptr);
}

std::vector<RecordedRequest> LoopbackHttp::Requests() {
    std::string log;
    std::vector<RecordedRequest> requests;
    if (!Exchange("GET", "/_control/log", "", &log))
        return requests;
    for (const std::string& line : Split(log, '\n')) {
        if (line.empty())
            continue;
        std::vector<std::string> fields = Split(line, '\t');
        RecordedRequest request;
        request.method = fields[0];
        request.path = fields.size() > 1 ? fields[1] : "";
        request.query = fields.size() > 2 ? fields[2] : "";
        request.headers.assign(fields.begin() + (fields.size() > 3 ? 3 : fields.size()), fields.end());
        requests.push_back(request);
    }
    return requests;
}

std::vector<RecordedRequest> LoopbackHttp::RequestsFor(const std::string& path) {
    std::vector<RecordedRequest> matching;
    for (RecordedRequest& request : Requests())
        if (request.path == path)
            matching.push_back(request);
    return matching;
}

std::string LoopbackHttp::Body(size_t index) {
    std::string body;
    Exchange("GET", "/_control/body?index=" + std::to_string(index), "", &body);
    return body;
}

std::string Bytes(size_t count, char fill) {
    return std::string(count, fill);
}
