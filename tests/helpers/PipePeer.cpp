// velto_pipe_peer: the server end of a named pipe for the pipe transport tests.
//
//   velto_pipe_peer PIPE READY-EVENT GO-EVENT MODE
//
// Creates PIPE (one instance, byte mode), signals the named READY-EVENT, waits for the client, then plays MODE:
//   converse  sends "hello\r\n", reads up to a line feed, sends "echo:" and that line back, and goes away once
//             the client has read everything.
//   split     sends "abc", waits for GO-EVENT, sends "def\r\n", and stays until the client goes away.
// Every wait has a limit and the whole program ends by itself after kLifetimeMs, so a failing test never leaves
// it behind.
#include "platform/system/Handles.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD kLifetimeMs = 60000;
constexpr DWORD kStepTimeoutMs = 20000;
constexpr DWORD kBufferSize = 4096;

enum ExitCode : int { EXIT_DONE = 0, EXIT_USAGE = 2, EXIT_EXPIRED = 3, EXIT_PIPE = 4, EXIT_PEER = 5 };

DWORD WINAPI ExpireLater(void*) {
    Sleep(kLifetimeMs);
    ExitProcess(EXIT_EXPIRED);
}

// One overlapped operation on the pipe, waited for with a limit; cancelled when the limit passes.
class Operation {
public:
    explicit Operation(HANDLE pipe) : m_pipe(pipe), m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        m_record.hEvent = m_event.Get();
    }
    OVERLAPPED* Record() { return &m_record; }

    bool Finish(BOOL started, DWORD* count) {
        DWORD done = 0;
        if (!started && GetLastError() != ERROR_IO_PENDING)
            return false;
        if (WaitForSingleObject(m_event.Get(), kStepTimeoutMs) != WAIT_OBJECT_0) {
            CancelIo(m_pipe);
            GetOverlappedResult(m_pipe, &m_record, &done, TRUE);
            return false;
        }
        const bool ok = GetOverlappedResult(m_pipe, &m_record, &done, FALSE) != 0;
        if (count)
            *count = done;
        return ok;
    }

private:
    HANDLE m_pipe;
    C_Handle m_event;
    OVERLAPPED m_record = {};
};

bool AwaitClient(HANDLE pipe) {
    Operation connect(pipe);
    if (ConnectNamedPipe(pipe, connect.Record()))
        return true;
    if (GetLastError() == ERROR_PIPE_CONNECTED)
        return true;
    return connect.Finish(FALSE, nullptr);
}

bool Send(HANDLE pipe, const std::string& bytes) {
    Operation write(pipe);
    DWORD count = 0;
    return write.Finish(WriteFile(pipe, bytes.data(), DWORD(bytes.size()), nullptr, write.Record()), &count) &&
           count == bytes.size();
}

// Reads once; false when the client has gone or nothing came in time.
bool ReceiveSome(HANDLE pipe, std::string& into) {
    char buffer[kBufferSize];
    Operation read(pipe);
    DWORD count = 0;
    if (!read.Finish(ReadFile(pipe, buffer, sizeof buffer, nullptr, read.Record()), &count))
        return false;
    into.append(buffer, count);
    return true;
}

int Converse(HANDLE pipe) {
    if (!Send(pipe, "hello\r\n"))
        return EXIT_PEER;
    std::string line;
    while (line.find('\n') == std::string::npos)
        if (!ReceiveSome(pipe, line))
            return EXIT_PEER;
    if (!Send(pipe, "echo:" + line.substr(0, line.find('\n') + 1)))
        return EXIT_PEER;
    FlushFileBuffers(pipe); // returns once the client has read it all
    return EXIT_DONE;
}

int Split(HANDLE pipe, const wchar_t* goEvent) {
    const C_Handle go(OpenEventW(SYNCHRONIZE, FALSE, goEvent));
    if (!go || !Send(pipe, "abc") || WaitForSingleObject(go.Get(), kStepTimeoutMs) != WAIT_OBJECT_0 ||
        !Send(pipe, "def\r\n"))
        return EXIT_PEER;
    std::string ignored;
    while (ReceiveSome(pipe, ignored)) {
    }
    return EXIT_DONE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5)
        return EXIT_USAGE;
    const C_Handle expiry(CreateThread(nullptr, 0, &ExpireLater, nullptr, 0, nullptr));
    const C_Handle pipe(CreateNamedPipeW(argv[1], PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kBufferSize, kBufferSize,
                                         0, nullptr));
    const C_Handle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
    if (!pipe || !ready)
        return EXIT_PIPE;
    SetEvent(ready.Get());
    if (!AwaitClient(pipe.Get()))
        return EXIT_PEER;
    return wcscmp(argv[4], L"converse") == 0 ? Converse(pipe.Get())
           : wcscmp(argv[4], L"split") == 0  ? Split(pipe.Get(), argv[3])
                                             : EXIT_USAGE;
}
