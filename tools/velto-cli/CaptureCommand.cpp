// velto-cli capture: opens a target with the real connection manager, as the program does at start, sends the
// given texts, bytes and files in order, stays connected for a while, closes as the program does and writes
// what was received like replay. Statuses go to standard error as they are shown; --log writes the log file as
// the Log button does, and --raw the raw log, every received byte as it came.
#include "Commands.h"
#include "ConnectionSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "LineOptions.h"
#include "LineWords.h"
#include "StoreOutput.h"
#include "connection/sending/SendText.h"
#include "foundation/base/File.h"
#include "foundation/settings/Options.h"
#include "terminal/export/LogFile.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t kCommand[] = L"capture";
constexpr int kExitOpenFailed = 1;
constexpr int kExitSendFailed = 3;
constexpr int kDefaultSeconds = 5;
constexpr int kMaxSeconds = 7 * 24 * 3600;
constexpr int kMaxDelayMs = 60000;
constexpr DWORD kFileScanChunk = 0x10000;

// One --send, --send-hex or --send-file, in the order given.
struct SendItem {
    std::string bytes;     // a text or hex bytes
    std::wstring path;     // a file, when not empty
    uint64_t size = 0;     // the file's or the bytes' length
    uint64_t lineEnds = 0; // in the file, for the time its line delays take
};

struct CaptureOptions {
    LineOptions line;
    int breakMs = 0;     // 0: no break
    BYTE pulseLines = 0; // 0: no pulse
    int pulseMs = 0;
    int charDelay = int(C_PersistedOptions::kDefaultCharSendDelay);
    int lineDelay = int(C_PersistedOptions::kDefaultLineDelay);
    int seconds = kDefaultSeconds;
    int idle = 0; // ms; 0: stay the whole time
    std::vector<SendItem> sends;
    std::wstring logPath;
    std::wstring rawPath;
    StoreOutputOptions output;
};

// When the last bytes came, for --idle.
class C_LastArrival final : public C_ByteRecorder {
public:
    C_LastArrival() : tick(GetTickCount()) {}
    void RecordBytes(ByteDirection direction, const uint8_t*, uint32_t) override {
        if (direction == ByteDirection::Received)
            tick = GetTickCount();
    }
    bool QuietFor(DWORD milliseconds) const { return GetTickCount() - tick >= milliseconds; }
    std::atomic<DWORD> tick;
};

// A log whose write failed has closed itself; the capture says so at its end and exits 1.
class C_FailedLogs final : public C_LogFailureHost {
public:
    void LogWriteFailed(uint32_t) override { failed = true; }
    std::atomic<bool> failed{false};
};

constexpr const wchar_t* kPulseForm = L"dtr|rts|both:MS";

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli capture: ") + message);
}

// Every byte and its pause, every line end of a file and its pause, the time the bytes take on the line, the
// break and the pulse, and a generous margin for writes a slow or stalled peer holds up.
DWORD SendLimitMs(const std::vector<SendItem>& items, const CaptureOptions& values) {
    constexpr uint64_t kMarginMs = 60000;
    constexpr uint64_t kBitsPerByte = 10;
    uint64_t limit = kMarginMs + uint64_t(values.breakMs) + uint64_t(values.pulseMs);
    for (const SendItem& item : items) {
        limit += item.size * uint64_t(values.charDelay) + item.lineEnds * uint64_t(values.lineDelay);
        limit += item.size * kBitsPerByte * 1000 / uint64_t(values.line.baudRate);
    }
    return limit < INFINITE ? DWORD(limit) : INFINITE - 1;
}

// "--send: \\x needs two hexadecimal digits at character 4 of 'AT\\x4'"
std::wstring SendError(const wchar_t* option, const std::wstring& value, const SendText::Error& error) {
    return std::wstring(option) + L": " + SendText::Reason(error.problem) + L" at character " +
           std::to_wstring(error.position + 1) + L" of '" + value + L"'";
}

bool AddBytes(CaptureOptions& values, const wchar_t* option, const std::wstring& value, std::wstring& error,
              bool (*parse)(const std::wstring&, std::string&, SendText::Error&)) {
    SendItem item;
    SendText::Error problem;
    if (!parse(value, item.bytes, problem)) {
        error = SendError(option, value, problem);
        return false;
    }
    item.size = item.bytes.size();
    values.sends.push_back(std::move(item));
    return true;
}

// The file is read once here: one that cannot be read is refused before anything is sent, and its line ends
// bound the time its sending may take.
bool AddFile(CaptureOptions& values, const std::wstring& path, std::wstring& error) {
    C_File file;
    std::unique_ptr<char[]> chunk(new (std::nothrow) char[kFileScanChunk]);
    SendItem item;
    item.path = path;
    if (!chunk || !file.Open(path.c_str(), C_File::MODE_READ, FILE_FLAG_SEQUENTIAL_SCAN, FILE_SHARE_READ)) {
        error = L"--send-file: cannot read '" + path + L"'";
        return false;
    }
    for (;;) {
        DWORD read = 0;
        if (!file.Read(kFileScanChunk, chunk.get(), &read)) {
            error = L"--send-file: cannot read '" + path + L"'";
            return false;
        }
        if (read == 0)
            break;
        item.size += read;
        for (DWORD i = 0; i < read; ++i)
            item.lineEnds += chunk[i] == '\n' || chunk[i] == '\r';
    }
    values.sends.push_back(std::move(item));
    return true;
}

const wchar_t* FileSendProblem(FileSendState state) {
    switch (state) {
    case FileSendState::Cancelled:
        return L"it was cancelled";
    case FileSendState::PortClosed:
        return L"the port was closed";
    case FileSendState::WriteFailed:
        return L"the port did not take the bytes";
    case FileSendState::ReadFailed:
        return L"the file could not be read";
    case FileSendState::OpenFailed:
        return L"the file could not be opened";
    default:
        return L"it did not end";
    }
}

// "dtr:100": the lines, a colon, the milliseconds.
void AddPulse(C_OptionTable& table, CaptureOptions& values) {
    table.Add({L"--pulse", kPulseForm, L"a reset pulse after the open: the lines dropped for MS milliseconds",
               [&values](const std::wstring& value, std::wstring& error) {
                   const size_t colon = value.find(L':');
                   BYTE lines = 0;
                   int milliseconds = 0;
                   if (colon == std::wstring::npos || !FindLineWord(kPulseWords, value.substr(0, colon), lines) ||
                       !ParseNumber(value.substr(colon + 1), 1, int(kMaxLineSignalMs), milliseconds)) {
                       error = std::wstring(L"--pulse takes ") + kPulseForm + L" with MS from 1 to " +
                               std::to_wstring(kMaxLineSignalMs) + L", not '" + value + L"'";
                       return false;
                   }
                   values.pulseLines = lines;
                   values.pulseMs = milliseconds;
                   return true;
               }});
}

void AddCaptureOptions(C_OptionTable& table, CaptureOptions& values) {
    AddLineOptions(table, values.line);
    table.AddNumber(L"--break", L"MS", L"a break of MS milliseconds after the open, before the texts", values.breakMs,
                    1, int(kMaxLineSignalMs));
    AddPulse(table, values);
    table.AddNumber(L"--char-delay", L"MS", L"pause after each character sent (default 0: no pause)", values.charDelay,
                    0, kMaxDelayMs);
    table.AddNumber(L"--line-delay", L"MS", L"pause after each line end of a --send-file (default 0: no pause)",
                    values.lineDelay, 0, kMaxDelayMs);
    table.Add({L"--send", L"TEXT", L"send TEXT once the open succeeded (repeatable; \\r \\n \\t \\\\ \\0 \\xHH)",
               [&values](const std::wstring& value, std::wstring& error) {
                   return AddBytes(values, L"--send", value, error, SendText::DecodeEscapes);
               }});
    table.Add({L"--send-hex", L"BYTES", L"send the bytes, such as \"01 02 ff\" (repeatable, in order with --send)",
               [&values](const std::wstring& value, std::wstring& error) {
                   return AddBytes(values, L"--send-hex", value, error, SendText::ParseHexBytes);
               }});
    table.Add({L"--send-file", L"FILE", L"send FILE as it is (repeatable, in order with --send)",
               [&values](const std::wstring& value, std::wstring& error) { return AddFile(values, value, error); }});
    table.AddNumber(L"--seconds", L"N", L"stay connected N seconds after the sends (default 5)", values.seconds, 0,
                    kMaxSeconds);
    table.AddNumber(L"--idle", L"MS", L"leave earlier once nothing was received for MS milliseconds", values.idle, 1,
                    kMaxSeconds);
    table.AddText(L"--log", L"FILE", L"also write FILE as the Log button does (UTF-8 with --utf8)", values.logPath);
    table.AddText(L"--raw", L"FILE", L"also write every received byte to FILE, unchanged (the raw log)",
                  values.rawPath);
    AddStoreOutputOptions(table, values.output);
}

} // namespace

std::wstring CaptureHelp() {
    CaptureOptions values;
    C_OptionTable options;
    AddCaptureOptions(options, values);
    return L"velto-cli capture [options] TARGET\r\n"
           L"  Opens TARGET (a port name, a device path, \\\\.\\pipe\\NAME, tcp://HOST[:PORT] or "
           L"udp://ADDRESS[:PORT])\r\n"
           L"  as the program opens a port at start, gives the reset pulse and then the break that are asked for,\r\n"
           L"  sends the --send, --send-hex and --send-file items in order, stays connected, closes and writes\r\n"
           L"  what was received as replay does. Every status is printed on standard error as it is shown\r\n"
           L"  (\"TITLE: NAME\", or the title alone); a refused line control as \"Line control refused: ...\".\r\n"
           L"  Exit status: 0 opened and sent, 1 the open or writing failed, 2 bad arguments, 3 a send did not\r\n"
           L"  complete.\r\n"
           L"Options:\r\n" +
           options.Help();
}

namespace {

// Texts and bytes are queued at once; each file is awaited, so a file that stopped is told and what follows it
// is not sent.
bool SendAll(C_ConnectionSession& session, const CaptureOptions& values) {
    std::vector<SendItem> queued;
    for (const SendItem& item : values.sends) {
        queued.push_back(item);
        if (item.path.empty()) {
            session.Connection().SendBytes(reinterpret_cast<const uint8_t*>(item.bytes.data()),
                                           uint32_t(item.bytes.size()));
            continue;
        }
        session.Connection().SendFile(item.path.c_str());
        if (!session.FinishCommands(SendLimitMs(queued, values))) {
            Fail(L"sending '" + item.path + L"' did not end in time");
            return false;
        }
        queued.clear();
        const FileSendProgress progress = session.Connection().GetFileSendProgress();
        if (progress.state != FileSendState::Finished) {
            Fail(L"sending '" + item.path + L"' stopped after " + std::to_wstring(progress.sent) + L" of " +
                 std::to_wstring(progress.total) + L" bytes: " + FileSendProblem(progress.state));
            return false;
        }
    }
    if (session.FinishCommands(SendLimitMs(queued, values)))
        return true;
    Fail(L"the texts were not all sent in time");
    return false;
}

// A board reset by the pulse is then told to break into its console, then given its commands. The stay starts
// once everything is out (a close would drop what is still queued) and lasts the given time, or until the device
// has been quiet for --idle. False when a send did not complete.
bool SendAndStay(C_ConnectionSession& session, const CaptureOptions& values, C_LastArrival& arrival) {
    if (values.pulseLines)
        session.Connection().PulseLines(values.pulseLines, DWORD(values.pulseMs));
    if (values.breakMs)
        session.Connection().SendBreak(DWORD(values.breakMs));
    if (!SendAll(session, values))
        return false;
    arrival.tick = GetTickCount();
    if (values.idle)
        session.RunFor(DWORD(values.seconds) * 1000, [&] { return arrival.QuietFor(DWORD(values.idle)); });
    else
        session.RunFor(DWORD(values.seconds) * 1000);
    return true;
}

// Before connecting, so nothing is sent to a device whose capture could not be kept.
bool OpenLogs(const CaptureOptions& values, C_FailedLogs& failures, C_LogFile& log, C_LogFile& raw) {
    log.SetFailureHost(&failures);
    raw.SetFailureHost(&failures);
    const TextFileEncoding encoding =
        values.output.utf8 ? TextFileEncoding::Utf8WithBom : TextFileEncoding::AnsiCodePage;
    if (!values.logPath.empty() && !log.Open(values.logPath.c_str(), C_LogFile::Kind::Text, encoding)) {
        Fail(L"cannot create log file '" + values.logPath + L"'");
        return false;
    }
    if (!values.rawPath.empty() && !raw.Open(values.rawPath.c_str(), C_LogFile::Kind::Raw)) {
        Fail(L"cannot create raw file '" + values.rawPath + L"'");
        return false;
    }
    return true;
}

void ConfigureLine(C_ConnectionSession& session, const CaptureOptions& values) {
    session.Window().SetSerialLineSettings(values.line.Settings());
    session.Window().SetCharSendDelay(uint32_t(values.charDelay));
    session.Window().SetLineDelay(uint32_t(values.lineDelay));
}

} // namespace

int RunCapture(const std::vector<std::wstring>& arguments) {
    CaptureOptions values;
    C_OptionTable options;
    AddCaptureOptions(options, values);
    std::wstring target, error;
    if (!options.ParseWithOne(arguments, L"TARGET", L"", target, error)) {
        Fail(error);
        return kExitUsage;
    }
    error = CheckStoreOutputOptions(values.output);
    if (!error.empty()) {
        Fail(error);
        return kExitUsage;
    }
    // Every file is opened before connecting: nothing is sent to the device for a capture that could not be
    // kept.
    C_StoreOutput output(values.output, kCommand);
    if (!output.Prepare())
        return kExitUsage;
    C_FailedLogs failures;
    C_LogFile log, raw;
    if (!OpenLogs(values, failures, log, raw))
        return kExitUsage;

    C_ReceiveOptions receiving;
    C_ConnectionSession session;
    ConfigureLine(session, values);
    C_ReceiveAssembly& assembly = session.Assembly();
    receiving.Apply(values.output, session.Store(), assembly);
    if (log.IsOpen())
        assembly.SetLogSink(&log);
    if (raw.IsOpen())
        session.Tap().AddRecorder(&raw);
    C_LastArrival arrival;
    session.Tap().AddRecorder(&arrival);
    if (!session.Start()) {
        Fail(L"the connection manager could not start");
        return kExitOpenFailed;
    }
    const C_ConnectionSession::OpenOutcome opened = session.OpenAsAtStart(target.c_str());
    if (opened != C_ConnectionSession::OpenOutcome::Opened) {
        if (opened == C_ConnectionSession::OpenOutcome::NotConnected)
            Fail(L"the connection to '" + target + L"' did not come up");
        session.Close();
        return kExitOpenFailed;
    }
    const bool sent = SendAndStay(session, values, arrival);
    session.Close();
    // The reader has ended: what it still held goes out as the idle flush would have shown it.
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    log.Close();
    raw.Close();
    ReportDroppedLines(session.Store(), kCommand);
    const int written = output.Write(session.Store());
    if (failures.failed) {
        Fail(L"writing the log or raw file failed; it holds what came before");
        return kExitWriteFailed;
    }
    return sent ? written : kExitSendFailed;
}
