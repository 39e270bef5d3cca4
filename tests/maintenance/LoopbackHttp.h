#pragma once
// The test side of tests/support/loopback_http.py: the server runs around the test program (ctest starts it)
// and is told over its control paths what to answer; afterwards it says what it saw.
#include <string>
#include <vector>

struct RecordedRequest {
    std::string method;
    std::string path;
    std::string query;
    std::vector<std::string> headers; // "Name: value"

    std::string Header(const std::string& name) const; // empty when missing
};

struct HttpAnswer {
    static constexpr int kNone = -1;

    int status = 200;
    std::string body;
    std::vector<std::string> headers; // "Name: value"
    int length = kNone;               // Content-Length to announce instead of the body's
    bool noLength = false;            // announce none: the body ends with the connection
    int cut = kNone;                  // send this many body bytes, then close
    bool stall = false;               // then wait, neither sending nor closing
    bool silent = false;              // take the request and answer nothing at all
    bool endless = false;             // the body over and over, without a length, while the client reads
};

class LoopbackHttp {
public:
    // The server named by VELTO_TEST_HTTP; IsRunning is false when the program runs without it.
    static LoopbackHttp& Instance();

    bool IsRunning() const { return m_port != 0; }
    std::wstring Url(const std::string& path) const;

    bool Reset();
    // Ends every stalled and silent answer: their connections close.
    bool Release();
    // The answer for every request of path from now on.
    bool Route(const std::string& path, const HttpAnswer& answer);
    // An answer after those already queued for path: each is used once, the last one stays.
    bool Queue(const std::string& path, const HttpAnswer& answer);
    std::vector<RecordedRequest> Requests();
    std::vector<RecordedRequest> RequestsFor(const std::string& path);
    // The body of the request with this index in Requests(), byte for byte.
    std::string Body(size_t index);

private:
    LoopbackHttp();
    bool SetAnswer(const std::string& path, const HttpAnswer& answer, bool queue);
    bool Exchange(const char* method, const std::string& target, const std::string& body, std::string* reply);

    unsigned short m_port = 0;
};

// Raw bytes as a std::string body.
std::string Bytes(size_t count, char fill);
