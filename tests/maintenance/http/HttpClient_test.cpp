// C_HttpClient against the loopback server: what Get and Download return, what they leave on disk, and what
// the server saw.
#include "maintenance/http/HttpClient.h"

#include "maintenance/LoopbackHttp.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include "foundation/base/File.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t* const kAgent = L"VeltoTest";

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.IsRunning())
            << "run the program through tests/support/loopback_http.py --run (ctest does)";
        ASSERT_TRUE(m_server.Reset());
    }

    bool Serve(const std::string& path, const HttpAnswer& answer) { return m_server.Route(path, answer); }
    static HttpAnswer Body(const std::string& body, int status = 200) {
        HttpAnswer answer;
        answer.status = status;
        answer.body = body;
        return answer;
    }

    LoopbackHttp& m_server = LoopbackHttp::Instance();
    C_HttpClient m_client;
};

std::string Narrow(const C_String& text) {
    std::string bytes;
    for (uint32_t i = 0; i < text.GetLength(); ++i)
        bytes += char(text.GetAt(int(i)));
    return bytes;
}

// ---- Get ----

TEST_F(HttpTest, GetAnswersTheBodyOnlyForTheBodyStatuses) {
    struct Case {
        int status;
        bool result;
        const char* out;
    } cases[] = {{200, true, "whole"}, {206, true, "whole"}, {404, false, ""}, {500, false, ""}, {301, false, ""}};
    for (const Case& c : cases) {
        const std::string path = "/get/" + std::to_string(c.status);
        HttpAnswer answer = Body("whole", c.status);
        if (c.status == 301)
            answer.headers.push_back("Location: /nowhere");
        ASSERT_TRUE(Serve(path, answer));
        C_String out;
        out.Assign(L"left over");
        EXPECT_EQ(m_client.Get(m_server.Url(path).c_str(), kAgent, out), c.result) << c.status;
        EXPECT_EQ(Narrow(out), c.out) << c.status;
    }
}

TEST_F(HttpTest, GetRefusesABodyCutShortOfItsLength) {
    HttpAnswer answer = Body(Bytes(1000, 'c'));
    answer.cut = 100;
    ASSERT_TRUE(Serve("/cut", answer));
    C_String out;
    EXPECT_FALSE(m_client.Get(m_server.Url("/cut").c_str(), kAgent, out));
}

TEST_F(HttpTest, GetWidensEveryByteToOneUnit) {
    std::string body;
    for (int byte = 1; byte < 256; ++byte)
        body += char(byte);
    ASSERT_TRUE(Serve("/bytes", Body(body)));
    C_String out;
    ASSERT_TRUE(m_client.Get(m_server.Url("/bytes").c_str(), kAgent, out));
    ASSERT_EQ(out.GetLength(), 255u);
    for (int byte = 1; byte < 256; ++byte)
        ASSERT_EQ(out.GetAt(byte - 1), wchar_t(byte));
    EXPECT_EQ(out.GetAt(0xE9 - 1), wchar_t(0x00E9));
}

TEST_F(HttpTest, GetStopsAtMaxBytesAndReadsLongBodiesWhole) {
    ASSERT_TRUE(Serve("/thousand", Body(Bytes(1000, 'k'))));
    C_String out;
    ASSERT_TRUE(m_client.Get(m_server.Url("/thousand").c_str(), kAgent, out, 100));
    EXPECT_EQ(out.GetLength(), 100u);

    // Several pieces of the 65,537-byte block.
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += char('a' + i % 26);
    ASSERT_TRUE(Serve("/big", Body(big)));
    ASSERT_TRUE(m_client.Get(m_server.Url("/big").c_str(), kAgent, out));
    EXPECT_EQ(Narrow(out), big);
}

TEST_F(HttpTest, GetSendsTheAgentAndAcceptsEverythingWithoutCaching) {
    ASSERT_TRUE(Serve("/headers", Body("x")));
    C_String out;
    ASSERT_TRUE(m_client.Get(m_server.Url("/headers?v=1.37").c_str(), kAgent, out));
    std::vector<RecordedRequest> seen = m_server.RequestsFor("/headers");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].query, "v=1.37");
    EXPECT_EQ(seen[0].Header("User-Agent"), "VeltoTest");
    EXPECT_EQ(seen[0].Header("Accept"), "*/*");
    EXPECT_EQ(seen[0].Header("Pragma"), "no-cache");
}

struct CookieChoice {
    int answer;
    int asked = 0;
    static int Notify(int code, uintptr_t, void* self) {
        auto* choice = static_cast<CookieChoice*>(self);
        if (code == GET_ALLOW_COOKIES)
            ++choice->asked;
        return choice->answer;
    }
};

TEST_F(HttpTest, GetSendsCookiesOnlyWhenTheNotificationAllowsThem) {
    HttpAnswer answer = Body("x");
    answer.headers.push_back("Set-Cookie: flavour=oat; path=/");
    for (int allow : {0, 1}) {
        const std::string path = "/cookie" + std::to_string(allow);
        ASSERT_TRUE(Serve(path, answer));
        CookieChoice choice{allow};
        C_String out;
        ASSERT_TRUE(m_client.Get(m_server.Url(path).c_str(), kAgent, out, 0, nullptr, &CookieChoice::Notify, &choice));
        ASSERT_TRUE(m_client.Get(m_server.Url(path).c_str(), kAgent, out, 0, nullptr, &CookieChoice::Notify, &choice));
        EXPECT_EQ(choice.asked, 2);
        std::vector<RecordedRequest> seen = m_server.RequestsFor(path);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].Header("Cookie"), allow ? "flavour=oat" : "") << allow;
    }
}

// The proxy's credential dialog, answered by the test.
struct ProxyDialog {
    static DWORD s_answer;
    static int s_shown;
    static DWORD s_error;
    static DWORD s_flags;
    static DWORD WINAPI Show(HWND, HINTERNET, DWORD error, DWORD flags, LPVOID*) {
        ++s_shown;
        s_error = error;
        s_flags = flags;
        return s_answer;
    }
};
DWORD ProxyDialog::s_answer;
int ProxyDialog::s_shown;
DWORD ProxyDialog::s_error;
DWORD ProxyDialog::s_flags;

TEST_F(HttpTest, ProxyAuthenticationIsAskedForAndRetriedOnce) {
    struct Case {
        const char* name;
        DWORD dialogAnswer;
        bool thenOk;
        bool result;
        size_t requests;
    } cases[] = {
        {"retry succeeds", ERROR_INTERNET_FORCE_RETRY, true, true, 2},
        {"still refused", ERROR_INTERNET_FORCE_RETRY, false, false, 2},
        {"user cancels", ERROR_CANCELLED, true, false, 1},
    };
    m_client.SetErrorDialog(&ProxyDialog::Show);
    int index = 0;
    for (const Case& c : cases) {
        const std::string path = "/proxy/" + std::to_string(++index);
        ASSERT_TRUE(m_server.Queue(path, Body("who are you", 407)));
        ASSERT_TRUE(m_server.Queue(path, c.thenOk ? Body("welcome") : Body("who are you", 407)));
        ProxyDialog::s_answer = c.dialogAnswer;
        ProxyDialog::s_shown = 0;
        C_String out;
        EXPECT_EQ(m_client.Get(m_server.Url(path).c_str(), kAgent, out), c.result) << c.name;
        EXPECT_EQ(Narrow(out), c.result ? "welcome" : "") << c.name;
        EXPECT_EQ(m_server.RequestsFor(path).size(), c.requests) << c.name;
        EXPECT_EQ(ProxyDialog::s_shown, 1) << c.name;
        EXPECT_EQ(ProxyDialog::s_error, DWORD(ERROR_INTERNET_INCORRECT_PASSWORD));
        EXPECT_EQ(ProxyDialog::s_flags, 7u);
    }
}

TEST_F(HttpTest, WithoutTheLibraryEveryOperationFailsAtOnce) {
    // A library that is missing, and one that exists but lacks the entry points.
    for (const wchar_t* library : {L"velto-no-such-wininet.dll", L"ws2_32.dll"}) {
        C_HttpClient client(library);
        ASSERT_TRUE(Serve("/unreached", Body("x")));
        C_String out;
        EXPECT_FALSE(client.Get(m_server.Url("/unreached").c_str(), kAgent, out)) << library;
        TempFolder folder;
        DownloadRequest request;
        std::wstring url = m_server.Url("/unreached");
        std::wstring destination = folder.Path(L"file.bin");
        request.url = url.c_str();
        request.destination = destination.c_str();
        EXPECT_FALSE(client.Download(request)) << library;
        EXPECT_EQ(client.GetWinInet().GetLoadCount(), 0) << library;
    }
    EXPECT_TRUE(m_server.Requests().empty());
}

// The session set-up through a recording table in place of the library.
struct SessionOptions {
    static std::vector<std::pair<DWORD, DWORD>> s_set; // option, value
    static HINTERNET WINAPI Open(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD) { return reinterpret_cast<HINTERNET>(1); }
    static BOOL WINAPI Set(HINTERNET, DWORD option, LPVOID buffer, DWORD) {
        s_set.push_back({option, *static_cast<const DWORD*>(buffer)});
        return TRUE;
    }
    static BOOL WINAPI Close(HINTERNET) { return TRUE; }
};
std::vector<std::pair<DWORD, DWORD>> SessionOptions::s_set;

// Each phase of a request has its limit: a server that takes a request and never answers must not hold the
// caller, whichever phase it stops in. (This Wine does not end a request that waits for its answer at the
// receive time-out, nor answer a query for the send time-out, so the limits show only as the options given.)
TEST(HttpSession, GetsConnectSendAndReceiveTimeoutsWhenGivenOne) {
    WinInetFunctions f{};
    f.InternetOpenW = &SessionOptions::Open;
    f.InternetSetOptionW = &SessionOptions::Set;
    f.InternetCloseHandle = &SessionOptions::Close;
    const std::vector<std::pair<DWORD, DWORD>> http2 = {{INTERNET_OPTION_ENABLE_HTTP_PROTOCOL, 2}};
    struct Case {
        DWORD timeout;
        std::vector<std::pair<DWORD, DWORD>> set;
    } cases[] = {
        {1234,
         {{INTERNET_OPTION_ENABLE_HTTP_PROTOCOL, 2},
          {INTERNET_OPTION_CONNECT_TIMEOUT, 1234},
          {INTERNET_OPTION_SEND_TIMEOUT, 1234},
          {INTERNET_OPTION_RECEIVE_TIMEOUT, 1234}}},
        {kNoTimeout, http2},
    };
    for (const Case& c : cases) {
        SessionOptions::s_set.clear();
        EXPECT_TRUE(OpenInternetSession(f, kAgent, nullptr, c.timeout));
        EXPECT_EQ(SessionOptions::s_set, c.set) << c.timeout;
    }
}

TEST_F(HttpTest, TheLibraryIsHeldOnlyWhileARequestRuns) {
    ASSERT_TRUE(Serve("/held", Body("x")));
    C_String out;
    ASSERT_TRUE(m_client.Get(m_server.Url("/held").c_str(), kAgent, out));
    EXPECT_EQ(m_client.GetWinInet().GetLoadCount(), 0);
    ASSERT_TRUE(m_client.GetWinInet().Load());
    ASSERT_TRUE(m_client.Get(m_server.Url("/held").c_str(), kAgent, out));
    EXPECT_EQ(m_client.GetWinInet().GetLoadCount(), 1);
    m_client.GetWinInet().Release();
}

// ---- Download ----

// Records every notification and answers as told.
struct NoticeRecorder {
    std::vector<int> codes;
    std::vector<uint64_t> progress;
    std::wstring finalUrl;
    std::wstring contentType;
    int64_t length = 0;
    int append = 0;
    int keepPartialFile = 0;
    int refuseCode = -1;
    DWORD failureError = 0;

    static int Notify(int code, uintptr_t data, void* self) {
        auto& r = *static_cast<NoticeRecorder*>(self);
        r.codes.push_back(code);
        switch (code) {
        case DOWNLOAD_CONTENT_TYPE:
            r.contentType = reinterpret_cast<const DownloadHeader*>(data)->header;
            break;
        case DOWNLOAD_APPEND:
            *reinterpret_cast<int*>(data) = r.append;
            break;
        case DOWNLOAD_LENGTH_POINTER:
            r.length = *reinterpret_cast<const int64_t*>(data);
            break;
        case DOWNLOAD_FINAL_URL:
            r.finalUrl = reinterpret_cast<const wchar_t*>(data);
            break;
        case DOWNLOAD_PROGRESS_POINTER:
            r.progress.push_back(*reinterpret_cast<const uint64_t*>(data));
            break;
        case DOWNLOAD_FAILED: {
            auto* failure = reinterpret_cast<DownloadFailure*>(data);
            r.failureError = failure->error;
            if (r.keepPartialFile)
                failure->deleteFile = 0;
            break;
        }
        default:
            break;
        }
        return code == r.refuseCode ? 0 : 1;
    }
};

class DownloadTest : public HttpTest {
protected:
    bool Download(const std::string& path, NoticeRecorder* recorder = nullptr, uint64_t maxBytes = 0,
                  DWORD rateLimit = 0) {
        m_url = m_server.Url(path);
        m_request = DownloadRequest{};
        m_request.url = m_url.c_str();
        m_request.agent = kAgent;
        m_request.destination = m_destination.c_str();
        m_request.maxBytes = maxBytes;
        m_request.rateLimit = rateLimit;
        m_request.headers = C_HttpClient::kAcceptAll;
        if (recorder) {
            m_request.notify = &NoticeRecorder::Notify;
            m_request.userData = recorder;
        }
        return m_client.Download(m_request);
    }
    std::string OnDisk() const { return ReadFileBytes(m_destination); }

    TempFolder m_folder;
    std::wstring m_destination = m_folder.Path(L"download.bin");
    std::wstring m_url;
    DownloadRequest m_request;
};

TEST_F(DownloadTest, WritesTheBodyAndNotifiesInOrder) {
    const std::string body = Bytes(2500, 'd');
    HttpAnswer answer = Body(body);
    answer.headers.push_back("Content-Type: application/zip");
    ASSERT_TRUE(Serve("/file.zip", answer));
    ASSERT_TRUE(WriteFileBytes(m_destination, Bytes(9000, 'o'))); // replaced, not overwritten in place
    NoticeRecorder recorder;
    ASSERT_TRUE(Download("/file.zip", &recorder));
    EXPECT_EQ(m_request.status, 200u);
    EXPECT_EQ(OnDisk(), body);
    const std::vector<int> expected = {10, 11, 0, 1, 2, 4, 5, 6, 7, 8, 7, 8, 7, 8, 9};
    EXPECT_EQ(recorder.codes, expected);
    EXPECT_EQ(recorder.length, 2500);
    EXPECT_EQ(recorder.progress, (std::vector<uint64_t>{1024, 2048, 2500}));
    EXPECT_EQ(recorder.contentType, L"application/zip");
    EXPECT_EQ(recorder.finalUrl, m_url);
}

TEST_F(DownloadTest, AppendsToAnExistingFileWhenAsked) {
    ASSERT_TRUE(Serve("/tail", Body("tail")));
    ASSERT_TRUE(WriteFileBytes(m_destination, "head-"));
    NoticeRecorder recorder;
    recorder.append = 1;
    ASSERT_TRUE(Download("/tail", &recorder));
    EXPECT_EQ(OnDisk(), "head-tail");
}

TEST_F(DownloadTest, AFailedAppendLeavesTheOldContent) {
    HttpAnswer answer = Body(Bytes(5000, 't'));
    answer.cut = 1500;
    ASSERT_TRUE(Serve("/cut-tail", answer));
    ASSERT_TRUE(WriteFileBytes(m_destination, "keep me"));
    NoticeRecorder recorder;
    recorder.append = 1;
    EXPECT_FALSE(Download("/cut-tail", &recorder));
    EXPECT_EQ(OnDisk(), "keep me");
}

TEST_F(DownloadTest, MaxBytesEndsTheDownloadAndCutsThePresizedFile) {
    ASSERT_TRUE(Serve("/capped", Body(Bytes(3000, 'c'))));
    ASSERT_TRUE(Download("/capped", nullptr, 100));
    EXPECT_EQ(OnDisk(), Bytes(100, 'c'));
}

TEST_F(DownloadTest, ABodyWithoutLengthIsReadToTheConnectionsEnd) {
    HttpAnswer answer = Body(Bytes(3000, 'n'));
    answer.noLength = true;
    ASSERT_TRUE(Serve("/unsized", answer));
    NoticeRecorder recorder;
    ASSERT_TRUE(Download("/unsized", &recorder));
    EXPECT_EQ(OnDisk(), Bytes(3000, 'n'));
    EXPECT_EQ(recorder.length, -1);
}

TEST_F(DownloadTest, TheRateLimitSpreadsTheBodyOverTime) {
    // 4 KiB at 8 KiB per second cannot take less than half a second (the upper bound is the machine's business).
    ASSERT_TRUE(Serve("/slow", Body(Bytes(4096, 's'))));
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(Download("/slow", nullptr, 0, 8));
    EXPECT_GE(GetTickCount64() - start, 450u);
    EXPECT_EQ(OnDisk().size(), 4096u);
}

// A read that fails outright is in AbortEndsARequestThatWaitsForTheServer: Wine does not end a stalled body read
// at the receive time-out, so a time-out cannot stand in for it here.
TEST_F(DownloadTest, FailuresDeleteThePartialFileUnlessTheNotificationKeepsIt) {
    struct Case {
        const char* name;
        int cut;
        int refuseCode;
        bool keep;
    } cases[] = {
        {"body shorter than announced", 1500, -1, false},
        {"progress refused", HttpAnswer::kNone, DOWNLOAD_PROGRESS, false},
        {"finish refused", HttpAnswer::kNone, DOWNLOAD_FINISHED, false},
        {"kept on request", 1500, -1, true},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string path = "/fail/" + std::to_string(++index);
        HttpAnswer answer = Body(Bytes(5000, 'f'));
        answer.cut = c.cut;
        ASSERT_TRUE(Serve(path, answer));
        NoticeRecorder recorder;
        recorder.refuseCode = c.refuseCode;
        recorder.keepPartialFile = c.keep;
        EXPECT_FALSE(Download(path, &recorder)) << c.name;
        EXPECT_EQ(m_request.status, 200u) << c.name;
        EXPECT_EQ(recorder.codes.back(), DOWNLOAD_FAILED) << c.name;
        if (c.keep)
            EXPECT_EQ(OnDisk(), Bytes(1500, 'f')) << c.name;
        else
            EXPECT_EQ(OnDisk(), "<missing>") << c.name;
        DeleteFileW(m_destination.c_str());
    }
}

BOOL WINAPI RefuseWrite(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(DownloadTest, AFailedWriteDeletesThePartialFile) {
    ASSERT_TRUE(Serve("/full-disk", Body(Bytes(3000, 'w'))));
    NoticeRecorder recorder;
    C_File::SetWriteFunction(&RefuseWrite);
    const bool result = Download("/full-disk", &recorder);
    C_File::SetWriteFunction(nullptr);
    EXPECT_FALSE(result);
    EXPECT_EQ(recorder.failureError, DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(OnDisk(), "<missing>");
}

TEST_F(DownloadTest, AnUnwritableDestinationGivesStatus999) {
    ASSERT_TRUE(Serve("/nowhere", Body("x")));
    m_destination = m_folder.Path(L"missing-folder\\download.bin");
    EXPECT_FALSE(Download("/nowhere"));
    EXPECT_EQ(m_request.status, DownloadRequest::kStatusUnwritable);
}

TEST_F(DownloadTest, NoBodyLeavesAnExistingFileAlone) {
    struct Case {
        int status;
        const char* body;
    } cases[] = {{404, "not here"}, {200, ""}};
    for (const Case& c : cases) {
        const std::string path = "/empty/" + std::to_string(c.status);
        ASSERT_TRUE(Serve(path, Body(c.body, c.status)));
        ASSERT_TRUE(WriteFileBytes(m_destination, "precious"));
        EXPECT_FALSE(Download(path)) << c.status;
        EXPECT_EQ(m_request.status, DWORD(c.status));
        if (c.status == 404)
            EXPECT_EQ(OnDisk(), "precious"); // never opened, so never ours to delete
        else
            EXPECT_EQ(OnDisk(), "<missing>"); // the empty download replaced it and failed
    }
}

// Abort comes from another thread while the request runs. Closing the handle is documented to end a call that
// blocks on it, but Wine does not interrupt a read already waiting in the socket, so the abort arrives here
// between two reads (from the progress notification), which both systems act out alike.
struct AbortingRecorder : NoticeRecorder {
    C_HttpClient* client = nullptr;
    static int Notify(int code, uintptr_t data, void* self) {
        auto& r = *static_cast<AbortingRecorder*>(self);
        if (code == DOWNLOAD_PROGRESS)
            r.client->Abort();
        return NoticeRecorder::Notify(code, data, self);
    }
};

TEST_F(DownloadTest, AbortEndsTheRequestInProgressAndRefusesNewOnes) {
    ASSERT_TRUE(Serve("/aborted", Body(Bytes(5000, 'a'))));
    AbortingRecorder recorder;
    recorder.client = &m_client;
    m_url = m_server.Url("/aborted");
    m_request.url = m_url.c_str();
    m_request.destination = m_destination.c_str();
    m_request.notify = &AbortingRecorder::Notify;
    m_request.userData = &recorder;
    EXPECT_FALSE(m_client.Download(m_request));
    EXPECT_EQ(recorder.progress, std::vector<uint64_t>{1024});
    EXPECT_EQ(OnDisk(), "<missing>");

    ASSERT_TRUE(Serve("/after", Body("x")));
    C_String out;
    EXPECT_FALSE(m_client.Get(m_server.Url("/after").c_str(), kAgent, out));
    m_client.AllowRequests();
    EXPECT_TRUE(m_client.Get(m_server.Url("/after").c_str(), kAgent, out));
    EXPECT_EQ(m_server.RequestsFor("/after").size(), 1u);
}

} // namespace
