// velto-cli capture: opens a target with the real connection manager, as the program does at start, sends the
// given texts, stays connected for a while, closes as the program does and writes what was received like
// replay. Statuses go to standard error as they are shown; --log writes the log file as the Log button does, and
// --raw the raw log, every received byte as it came.
#include "Commands.h"
#include "ConnectionSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "SendText.h"
#include "StoreOutput.h"
#include "foundation/settings/Options.h"
#include "terminal/export/LogFile.h"

#include <atomic>
#include <string>
#include <vector>

namespace {

const wchar_t kCommand[] = L"capture";
constexpr int kExitOpenFailed = 1;
constexpr int kDefaultSeconds = 5;
constexpr int kMaxSeconds = 7 * 24 * 3600;
constexpr int kMaxBaudRate = 999999999;
constexpr int kMaxCharDelayMs = 60000;

struct CaptureOptions {
    int baudRate = int(C_PersistedOptions::kDefaultBaudRate);
    BYTE parity = C_PersistedOptions::kDefaultParity;
    BYTE stopBits = C_PersistedOptions::kDefaultStopBits;
    int charDelay = int(C_PersistedOptions::kDefaultCharSendDelay);
    int seconds = kDefaultSeconds;
    int idle = 0; // ms; 0: stay the whole time
    std::vector<std::wstring> sends;
    std::wstring logPath;
    std::wstring rawPath;
    StoreOutputOptions output;
};

// When the last bytes came, for --idle.
class C_LastArrival final : public C_ByteRecorder {
public:
    C_LastArrival() : tick(GetTickCount()) {}
    void RecordBytes(ByteDirection, const uint8_t*, uint32_t) override { tick = GetTickCount(); }
    bool QuietFor(DWORD milliseconds) const { return GetTickCount() - tick >= milliseconds; }
    std::atomic<DWORD> tick;
};

// A log whose write failed has closed itself; the capture says so at its end and exits 1.
class C_FailedLogs final : public C_LogFailureHost {
public:
    void LogWriteFailed(uint32_t) override { failed = true; }
    std::atomic<bool> failed{false};
};

struct Choice {
    const wchar_t* word;
    BYTE code;
};

constexpr Choice kParities[] = {
    {L"none", NOPARITY}, {L"odd", ODDPARITY}, {L"even", EVENPARITY}, {L"mark", MARKPARITY}, {L"space", SPACEPARITY}};
constexpr Choice kStopBits[] = {{L"1", ONESTOPBIT}, {L"1.5", ONE5STOPBITS}, {L"2", TWOSTOPBITS}};

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli capture: ") + message);
}

// Every character and its pause, and a generous margin for writes a slow or stalled peer holds up.
DWORD SendLimitMs(const CaptureOptions& values) {
    constexpr DWORD kMarginMs = 60000;
    uint64_t characters = 0;
    for (const std::wstring& text : values.sends)
        characters += text.size();
    const uint64_t limit = characters * uint64_t(values.charDelay) + kMarginMs;
    return limit < INFINITE ? DWORD(limit) : INFINITE - 1;
}

template <size_t N>
void AddChoice(C_OptionTable& table, const wchar_t* name, const wchar_t* valueName, const wchar_t* help,
               const Choice (&choices)[N], BYTE& target) {
    table.Add({name, valueName, help, [&choices, &target, name](const std::wstring& value, std::wstring& error) {
                   for (const Choice& choice : choices)
                       if (value == choice.word) {
                           target = choice.code;
                           return true;
                       }
                   error = std::wstring(name) + L" cannot be '" + value + L"'";
                   return false;
               }});
}

void AddCaptureOptions(C_OptionTable& table, CaptureOptions& values) {
    table.AddNumber(L"--baud", L"N", L"baud rate of a serial port (default 115200)", values.baudRate, 1, kMaxBaudRate);
    AddChoice(table, L"--parity", L"none|odd|even|mark|space", L"parity of a serial port (default none)", kParities,
              values.parity);
    AddChoice(table, L"--stop-bits", L"1|1.5|2", L"stop bits of a serial port (default 1)", kStopBits, values.stopBits);
    table.AddNumber(L"--char-delay", L"MS", L"pause after each character sent (default 0: no pause)", values.charDelay,
                    0, kMaxCharDelayMs);
    table.Add({L"--send", L"TEXT", L"send TEXT once the open succeeded (repeatable; \\r \\n \\t \\\\ \\xHH)",
               [&values](const std::wstring& value, std::wstring& error) {
                   std::wstring text;
                   if (!DecodeSendText(value, text, error))
                       return false;
                   values.sends.push_back(text);
                   return true;
               }});
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
           L"  as the program opens a port at start, sends the --send texts in order, stays connected, closes\r\n"
           L"  and writes what was received as replay does. Every status is printed on standard error as it is\r\n"
           L"  shown (\"TITLE: NAME\", or the title alone). Exit status: 0 opened, 1 the open or writing failed, 2 "
           L"bad\r\n"
           L"  arguments.\r\n"
           L"Options:\r\n" +
           options.Help();
}

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
    log.SetFailureHost(&failures);
    raw.SetFailureHost(&failures);
    const TextFileEncoding encoding =
        values.output.utf8 ? TextFileEncoding::Utf8WithBom : TextFileEncoding::AnsiCodePage;
    if (!values.logPath.empty() && !log.Open(values.logPath.c_str(), C_LogFile::Kind::Text, encoding)) {
        Fail(L"cannot create log file '" + values.logPath + L"'");
        return kExitUsage;
    }
    if (!values.rawPath.empty() && !raw.Open(values.rawPath.c_str(), C_LogFile::Kind::Raw)) {
        Fail(L"cannot create raw file '" + values.rawPath + L"'");
        return kExitUsage;
    }

    C_ReceiveOptions receiving;
    C_ConnectionSession session;
    session.Window().SetSerialLineSettings({DWORD(values.baudRate), values.parity, values.stopBits});
    session.Window().SetCharSendDelay(uint32_t(values.charDelay));
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
    if (session.OpenAsAtStart(target.c_str()) != C_ConnectionSession::OpenOutcome::Opened) {
        session.Close();
        return kExitOpenFailed;
    }
    for (const std::wstring& text : values.sends)
        session.Connection().SendText(text.c_str());
    // The stay starts once the texts are out: a close would drop what is still queued.
    if (!session.FinishCommands(SendLimitMs(values)))
        Fail(L"the texts were not all sent in time");
    arrival.tick = GetTickCount();
    if (values.idle)
        session.RunFor(DWORD(values.seconds) * 1000, [&] { return arrival.QuietFor(DWORD(values.idle)); });
    else
        session.RunFor(DWORD(values.seconds) * 1000);
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
    return written;
}
