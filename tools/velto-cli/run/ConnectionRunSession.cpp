#include "velto-cli/run/ConnectionRunSession.h"

#include "connection/discovery/TargetKind.h"
#include "connection/transports/SerialTransport.h"

namespace {

// "a TCP connection": what a target without a serial line is, for the steps that need one.
const wchar_t* KindText(TargetKind kind) {
    switch (kind) {
    case TargetKind::Pipe:
        return L"a named pipe";
    case TargetKind::Tcp:
        return L"a TCP connection";
    case TargetKind::Udp:
        return L"a UDP endpoint";
    default:
        return L"a serial port";
    }
}

const wchar_t* LineName(uint8_t line) {
    return line == LINE_DTR ? L"DTR" : L"RTS";
}

// Only the lines every port opens with, and no flow control: a refusal then concerns those lines alone.
bool AsksOnlyTheUsualLines(const SerialLineSettings& line) {
    return line.flowControl == FLOW_NONE && line.linesAtOpen == kBothModemLines;
}

} // namespace

C_ConnectionRunSession::C_ConnectionRunSession(const StoreOutputOptions& output, uint32_t charDelayMs)
    : m_output(output), m_charDelayMs(charDelayMs) {
    m_matchStore.SetCapacity(kMatchStoreCapacity);
    m_matchAssembly.SetLogSink(&m_received);
}

bool C_ConnectionRunSession::Start() {
    m_session.SetQuiet(true);
    m_session.Window().SetCharSendDelay(m_charDelayMs);
    m_receiving.Apply(m_output, m_session.Store(), m_session.Assembly());
    m_session.Assembly().SetLogSink(&m_log);
    m_session.AlsoFeed(&m_matchAssembly);
    return m_session.Start();
}

void C_ConnectionRunSession::Finish() {
    m_session.Close();
    FlushAssemblies();
    // Nothing follows: a last line without its line end is whole now, and a filter may test it.
    m_session.Assembly().FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8 | C_ReceiveAssembly::FLUSH_LINE_END);
    m_log.Close();
}

// Only while no reader runs: after a close has been carried out.
void C_ConnectionRunSession::FlushAssemblies() {
    m_session.Assembly().FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    m_matchAssembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
}

bool C_ConnectionRunSession::Open(const OpenRequest& request, DWORD limitMs, std::wstring& message) {
    Close();
    m_target = request.target;
    m_modemLinesRefused.clear();
    m_session.Window().SetSerialLineSettings(request.line);
    const uint32_t refusals = m_session.Refusals();
    const auto outcome = m_session.OpenAsAtStart(request.target.c_str(), limitMs);
    const bool refused = m_session.Refusals() != refusals;
    if (outcome == C_ConnectionSession::OpenOutcome::Opened) {
        if (!refused)
            return true;
        if (AsksOnlyTheUsualLines(request.line)) {
            m_modemLinesRefused = m_session.LastRefusal();
            return true;
        }
    }
    // A TCP open only starts the connection: a peer that never takes it is a failed open too.
    if (refused)
        message = m_session.LastRefusal();
    else if (outcome == C_ConnectionSession::OpenOutcome::NotConnected)
        message = L"the connection to '" + request.target + L"' did not come up";
    else
        message = m_session.LastStatus();
    // Nothing may reopen it behind the script's back: no retry timer, no selected port.
    Close();
    return false;
}

void C_ConnectionRunSession::Close() {
    m_session.Window().SelectPort(nullptr);
    m_session.Window().SetReopenTimer(false);
    m_session.Connection().CloseTarget();
    if (m_session.FinishCommands(kCloseLimitMs))
        FlushAssemblies();
}

bool C_ConnectionRunSession::SendBytes(const std::string& bytes, std::wstring& error) {
    m_session.Connection().SendBytes(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    const uint64_t limit = uint64_t(bytes.size()) * m_charDelayMs + kSendMarginMs;
    if (m_session.FinishCommands(limit < INFINITE ? DWORD(limit) : INFINITE - 1))
        return true;
    error = L"the bytes were not sent within " + std::to_wstring(limit / 1000) + L" s";
    return false;
}

bool C_ConnectionRunSession::LineOf(const wchar_t* step, LineState& state, std::wstring& error) {
    if (m_session.Connection().GetLineState(state))
        return true;
    const TargetKind kind = TargetKindOf(m_target.c_str());
    if (kind == TargetKind::Serial)
        error = L"the target is not open";
    else
        error = std::wstring(step) + L" needs a serial port, and " + m_target + L" is " + KindText(kind);
    return false;
}

// A line under the handshake is the driver's: the connection leaves it alone, and the step would change nothing.
bool C_ConnectionRunSession::ModemLinesFree(uint8_t lines, const LineState& state, std::wstring& error) {
    if (const uint8_t held = lines & HandshakeLines(state.flowControl)) {
        error = std::wstring(LineName(held)) + L" follows the" +
                C_SerialTransport::FlowControlSuffix(state.flowControl) + L" flow control of " + m_target;
        return false;
    }
    error = m_modemLinesRefused;
    return error.empty();
}

// The connection tells a refusal with a status sent from its command thread, which has shown it before the
// command counts as done: a refusal seen while waiting is this command's.
template <class Post> bool C_ConnectionRunSession::CarryOut(DWORD milliseconds, Post post, std::wstring& error) {
    const uint32_t refusals = m_session.Refusals();
    post(m_session.Connection());
    const DWORD limit = milliseconds + kLineMarginMs;
    if (!m_session.FinishCommands(limit)) {
        error = L"the port did not carry it out within " + std::to_wstring(limit / 1000) + L" s";
        return false;
    }
    if (m_session.Refusals() == refusals)
        return true;
    error = m_session.LastRefusal();
    return false;
}

bool C_ConnectionRunSession::SendBreak(uint32_t milliseconds, std::wstring& error) {
    LineState state;
    return LineOf(L"break", state, error) &&
           CarryOut(
               milliseconds, [&](C_Connection& connection) { connection.SendBreak(milliseconds); }, error);
}

bool C_ConnectionRunSession::PulseModemLines(uint8_t lines, uint32_t milliseconds, std::wstring& error) {
    LineState state;
    return LineOf(L"pulse", state, error) && ModemLinesFree(lines, state, error) &&
           CarryOut(
               milliseconds, [&](C_Connection& connection) { connection.PulseLines(lines, milliseconds); }, error);
}

bool C_ConnectionRunSession::SetModemLine(uint8_t line, bool raised, std::wstring& error) {
    LineState state;
    return LineOf(line == LINE_DTR ? L"dtr" : L"rts", state, error) && ModemLinesFree(line, state, error) &&
           CarryOut(
               0, [&](C_Connection& connection) { connection.SetModemLines(line, raised); }, error);
}

bool C_ConnectionRunSession::StartLog(const std::wstring& path, std::wstring& error) {
    if (m_log.Open(path.c_str()))
        return true;
    error = L"cannot create log file '" + path + L"'";
    return false;
}

bool C_ConnectionRunSession::ServeUntil(HANDLE event, DWORD limitMs) {
    return m_session.ServeUntilSignalled(event, limitMs);
}
