#include "velto-cli/run/ConnectionRunSession.h"

#include "connection/discovery/TargetKind.h"

namespace {

constexpr BYTE kOpenedDataBits = 8;

std::wstring NotSupported(const std::wstring& what) {
    return what + L" is not supported by this target";
}

} // namespace

std::wstring UnsupportedLineControl(const OpenRequest& request) {
    const LineControl& asked = request.control;
    if (asked.IsEmpty() || TargetKindOf(request.target.c_str()) != TargetKind::Serial)
        return L"";
    const std::wstring opens = L" (it opens with 8 data bits, no flow control, DTR and RTS on)";
    if (asked.dataBits && *asked.dataBits != kOpenedDataBits)
        return NotSupported(L"data=" + std::to_wstring(*asked.dataBits)) + opens;
    if (asked.flow && *asked.flow != FLOW_NONE)
        return NotSupported(L"flow=" + std::wstring(LineWordFor(kFlowWords, BYTE(*asked.flow)))) + opens;
    if (asked.dtr && !*asked.dtr)
        return NotSupported(L"dtr=off") + opens;
    if (asked.rts && !*asked.rts)
        return NotSupported(L"rts=off") + opens;
    return L"";
}

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
    message = UnsupportedLineControl(request);
    if (!message.empty())
        return false;
    m_session.Window().SetSerialLineSettings(request.line);
    const auto outcome = m_session.OpenAsAtStart(request.target.c_str(), limitMs);
    if (outcome == C_ConnectionSession::OpenOutcome::Opened)
        return true;
    // A TCP open only starts the connection: a peer that never takes it is a failed open too.
    message = outcome == C_ConnectionSession::OpenOutcome::NotConnected
                  ? L"the connection to '" + request.target + L"' did not come up"
                  : m_session.LastStatus();
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

bool C_ConnectionRunSession::SendBreak(uint32_t, std::wstring& error) {
    error = NotSupported(L"sending a break");
    return false;
}

bool C_ConnectionRunSession::PulseModemLines(unsigned, uint32_t, std::wstring& error) {
    error = NotSupported(L"pulsing a modem line");
    return false;
}

bool C_ConnectionRunSession::SetModemLine(unsigned line, bool, std::wstring& error) {
    error = NotSupported(line == MODEM_DTR ? L"setting DTR" : L"setting RTS");
    return false;
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
