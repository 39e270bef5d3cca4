// velto-cli capture: opens a target with the real connection manager, as the program does at start, sends the
// given texts, stays connected for a while, closes as the program does and writes what was received like
// replay. Statuses go to standard error as they are shown; --log writes the log file as the Log button does.
#include "Commands.h"
#include "ConnectionSession.h"
#include "Console.h"
#include "ExitStatus.h"
#include "SendText.h"
#include "StoreOutput.h"
#include "foundation/settings/Options.h"
#include "terminal/export/LogFile.h"

#include <iterator>
#include <string>
#include <vector>

namespace {

const wchar_t kCommand[] = L"capture";
constexpr int kExitOpenFailed = 1;
constexpr int kDefaultSeconds = 5;
constexpr int kMaxSeconds = 7 * 24 * 3600;
constexpr int kMaxBaudRate = 999999999;
constexpr int kMaxCharDelayMs = 60000;
constexpr int kMaxLineSignalMs = 60000; // a break or a reset pulse

struct CaptureOptions {
    int baudRate = int(C_PersistedOptions::kDefaultBaudRate);
    BYTE parity = C_PersistedOptions::kDefaultParity;
    BYTE stopBits = C_PersistedOptions::kDefaultStopBits;
    BYTE dataBits = C_PersistedOptions::kDefaultDataBits;
    BYTE flowControl = C_PersistedOptions::kDefaultFlowControl;
    BYTE dtr = 1; // raised at opening
    BYTE rts = 1;
    int breakMs = 0;     // 0: no break
    BYTE pulseLines = 0; // 0: no pulse
    int pulseMs = 0;
    int charDelay = int(C_PersistedOptions::kDefaultCharSendDelay);
    int seconds = kDefaultSeconds;
    std::vector<std::wstring> sends;
    std::wstring logPath;
    StoreOutputOptions output;
};

struct Choice {
    const wchar_t* word;
    BYTE code;
};

constexpr Choice kParities[] = {
    {L"none", NOPARITY}, {L"odd", ODDPARITY}, {L"even", EVENPARITY}, {L"mark", MARKPARITY}, {L"space", SPACEPARITY}};
constexpr Choice kStopBits[] = {{L"1", ONESTOPBIT}, {L"1.5", ONE5STOPBITS}, {L"2", TWOSTOPBITS}};
constexpr Choice kDataBits[] = {{L"5", 5}, {L"6", 6}, {L"7", 7}, {L"8", 8}};
constexpr Choice kFlowControls[] = {
    {L"none", FLOW_NONE}, {L"rtscts", FLOW_RTS_CTS}, {L"dsrdtr", FLOW_DSR_DTR}, {L"xonxoff", FLOW_XON_XOFF}};
constexpr Choice kOnOff[] = {{L"on", 1}, {L"off", 0}};
constexpr Choice kPulseLines[] = {{L"dtr", LINE_DTR}, {L"rts", LINE_RTS}, {L"both", kBothModemLines}};
constexpr const wchar_t* kPulseForm = L"dtr|rts|both:MS";

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli capture: ") + message);
}

// Every character and its pause, the break and the pulse, and a generous margin for writes a slow or stalled peer
// holds up.
DWORD SendLimitMs(const CaptureOptions& values) {
    constexpr DWORD kMarginMs = 60000;
    uint64_t characters = 0;
    for (const std::wstring& text : values.sends)
        characters += text.size();
    const uint64_t limit =
        characters * uint64_t(values.charDelay) + uint64_t(values.breakMs) + uint64_t(values.pulseMs) + kMarginMs;
    return limit < INFINITE ? DWORD(limit) : INFINITE - 1;
}

template <size_t N>
void AddChoice(C_OptionTable& table, const wchar_t* name, const wchar_t* valueName, const wchar_t* help,
               const Choice (&choices)[N], BYTE& target) {
    table.Add(
        {name, valueName, help, [&choices, &target, name, valueName](const std::wstring& value, std::wstring& error) {
             for (const Choice& choice : choices)
                 if (value == choice.word) {
                     target = choice.code;
                     return true;
                 }
             error = std::wstring(name) + L" takes " + valueName + L", not '" + value + L"'";
             return false;
         }});
}

const Choice* FindChoice(const std::wstring& word, const Choice* first, const Choice* last) {
    for (const Choice* choice = first; choice != last; ++choice)
        if (word == choice->word)
            return choice;
    return nullptr;
}

// "dtr:100": the lines, a colon, the milliseconds.
void AddPulse(C_OptionTable& table, CaptureOptions& values) {
    table.Add({L"--pulse", kPulseForm, L"a reset pulse after the open: the lines dropped for MS milliseconds",
               [&values](const std::wstring& value, std::wstring& error) {
                   const size_t colon = value.find(L':');
                   const Choice* lines =
                       colon == std::wstring::npos
                           ? nullptr
                           : FindChoice(value.substr(0, colon), std::begin(kPulseLines), std::end(kPulseLines));
                   int milliseconds = 0;
                   if (!lines || !ParseNumber(value.substr(colon + 1), 1, kMaxLineSignalMs, milliseconds)) {
                       error = std::wstring(L"--pulse takes ") + kPulseForm + L" with MS from 1 to " +
                               std::to_wstring(kMaxLineSignalMs) + L", not '" + value + L"'";
                       return false;
                   }
                   values.pulseLines = lines->code;
                   values.pulseMs = milliseconds;
                   return true;
               }});
}

void AddCaptureOptions(C_OptionTable& table, CaptureOptions& values) {
    table.AddNumber(L"--baud", L"N", L"baud rate of a serial port (default 115200)", values.baudRate, 1, kMaxBaudRate);
    AddChoice(table, L"--parity", L"none|odd|even|mark|space", L"parity of a serial port (default none)", kParities,
              values.parity);
    AddChoice(table, L"--stop-bits", L"1|1.5|2", L"stop bits of a serial port (default 1)", kStopBits, values.stopBits);
    AddChoice(table, L"--data-bits", L"5|6|7|8", L"data bits of a serial port (default 8)", kDataBits, values.dataBits);
    AddChoice(table, L"--flow", L"none|rtscts|dsrdtr|xonxoff", L"flow control of a serial port (default none)",
              kFlowControls, values.flowControl);
    AddChoice(table, L"--dtr", L"on|off", L"DTR at the open (default on)", kOnOff, values.dtr);
    AddChoice(table, L"--rts", L"on|off", L"RTS at the open (default on)", kOnOff, values.rts);
    table.AddNumber(L"--break", L"MS", L"a break of MS milliseconds after the open, before the texts", values.breakMs,
                    1, kMaxLineSignalMs);
    AddPulse(table, values);
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
    table.AddText(L"--log", L"FILE", L"also write FILE as the Log button does", values.logPath);
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
           L"  sends the --send texts in order, stays connected, closes and writes what was received as replay\r\n"
           L"  does. Every status is printed on standard error as it is shown (\"TITLE: NAME\", or the title\r\n"
           L"  alone); a refused line control as \"Line control refused: ...\". Exit status: 0 opened, 1 the open\r\n"
           L"  failed, 2 bad arguments.\r\n"
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
    C_LogFile log;
    if (!values.logPath.empty() && !log.Open(values.logPath.c_str())) {
        Fail(L"cannot create log file '" + values.logPath + L"'");
        return kExitUsage;
    }

    C_ReceiveOptions receiving;
    C_ConnectionSession session;
    SerialLineSettings line{DWORD(values.baudRate), values.parity, values.stopBits};
    line.dataBits = values.dataBits;
    line.flowControl = values.flowControl;
    line.linesAtOpen = uint8_t((values.dtr ? LINE_DTR : 0) | (values.rts ? LINE_RTS : 0));
    session.Window().SetSerialLineSettings(line);
    session.Window().SetCharSendDelay(uint32_t(values.charDelay));
    C_ReceiveAssembly& assembly = session.Assembly();
    receiving.Apply(values.output, session.Store(), assembly);
    if (log.IsOpen())
        assembly.SetLogSink(&log);
    if (!session.Start()) {
        Fail(L"the connection manager could not start");
        return kExitOpenFailed;
    }
    if (session.OpenAsAtStart(target.c_str()) != C_ConnectionSession::OpenOutcome::Opened) {
        session.Close();
        return kExitOpenFailed;
    }
    // A board reset by the pulse is then told to break into its console, then given its commands.
    if (values.pulseLines)
        session.Connection().PulseLines(values.pulseLines, DWORD(values.pulseMs));
    if (values.breakMs)
        session.Connection().SendBreak(DWORD(values.breakMs));
    for (const std::wstring& text : values.sends)
        session.Connection().SendText(text.c_str());
    // The stay starts once the texts are out: a close would drop what is still queued.
    if (!session.FinishCommands(SendLimitMs(values)))
        Fail(L"the texts were not all sent in time");
    session.RunFor(DWORD(values.seconds) * 1000);
    session.Close();
    // The reader has ended: what it still held goes out as the idle flush would have shown it.
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    log.Close();
    ReportDroppedLines(session.Store(), kCommand);
    return output.Write(session.Store());
}
