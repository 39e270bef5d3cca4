#include "velto-cli/run/ScriptRunner.h"

#include "velto-cli/run/PatternSearch.h"

namespace {

constexpr size_t kMaxShownMatch = 80;

// "10", "1.5", "0.25": a time-out as a script writes it.
std::wstring SecondsText(uint32_t milliseconds) {
    std::wstring text = std::to_wstring(milliseconds / 1000);
    const uint32_t thousandths = milliseconds % 1000;
    if (thousandths) {
        std::wstring fraction = std::to_wstring(1000 + thousandths).substr(1);
        while (fraction.back() == L'0')
            fraction.pop_back();
        text += L"." + fraction;
    }
    return text;
}

uint8_t WithLine(uint8_t lines, uint8_t line, bool raised) {
    return raised ? uint8_t(lines | line) : uint8_t(lines & ~line);
}

OpenRequest RequestFor(const Step& step, const OpenRequest& line) {
    OpenRequest request = line;
    request.target = step.text;
    SerialLineSettings& settings = request.line;
    if (step.baudRate)
        settings.baudRate = *step.baudRate;
    if (step.parity)
        settings.parity = *step.parity;
    if (step.stopBits)
        settings.stopBits = *step.stopBits;
    const LineControl& asked = step.control;
    if (asked.dataBits)
        settings.dataBits = *asked.dataBits;
    if (asked.flow)
        settings.flowControl = *asked.flow;
    if (asked.dtr)
        settings.linesAtOpen = WithLine(settings.linesAtOpen, LINE_DTR, *asked.dtr);
    if (asked.rts)
        settings.linesAtOpen = WithLine(settings.linesAtOpen, LINE_RTS, *asked.rts);
    return request;
}

} // namespace

std::wstring Printable(const std::wstring& text) {
    std::wstring out;
    for (wchar_t ch : text) {
        switch (ch) {
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        case L'"':
            out += L"\\\"";
            break;
        default:
            if (ch < 0x20 || ch == 0x7F) {
                const wchar_t digits[] = L"0123456789abcdef";
                out += L"\\x";
                out += digits[ch >> 4];
                out += digits[ch & 0xF];
            } else {
                out += ch;
            }
        }
    }
    return out;
}

RunOutcome C_ScriptRunner::Run(const std::vector<Step>& steps, const Step* commandLineOpen, const OpenRequest& line) {
    m_line = line;
    m_results.clear();
    std::vector<const Step*> order;
    if (commandLineOpen)
        order.push_back(commandLineOpen);
    for (const Step& step : steps)
        order.push_back(&step);
    RunOutcome outcome = RunOutcome::Passed;
    for (const Step* step : order) {
        if (outcome != RunOutcome::Passed) {
            StepResult skipped;
            skipped.step = step;
            m_results.push_back(skipped);
            continue;
        }
        m_results.push_back(RunStep(*step));
        const StepResult& result = m_results.back();
        m_listener.OnStepEnded(result);
        if (result.outcome == StepOutcome::OpenFailed)
            outcome = RunOutcome::OpenFailed;
        else if (result.outcome == StepOutcome::Failed)
            outcome = RunOutcome::StepFailed;
    }
    return outcome;
}

StepResult C_ScriptRunner::RunStep(const Step& step) {
    StepResult result;
    result.step = &step;
    result.outcome = StepOutcome::Passed;
    const uint64_t start = m_session.Milliseconds();
    switch (step.kind) {
    case StepKind::Open:
        RunOpen(step, result);
        break;
    case StepKind::Reopen:
        RunReopen(step, result);
        break;
    case StepKind::Expect:
    case StepKind::ExpectNot:
        RunExpect(step, result);
        break;
    case StepKind::Wait:
        m_session.ServeUntil(nullptr, step.milliseconds);
        break;
    case StepKind::Timeout:
        m_defaultTimeoutMs = step.milliseconds;
        break;
    case StepKind::Log:
        if (!m_session.StartLog(step.text, result.detail))
            result.outcome = StepOutcome::Failed;
        break;
    case StepKind::Close:
        m_session.Close();
        break;
    default:
        RunLineStep(step, result);
    }
    const uint64_t elapsed = m_session.Milliseconds() - start;
    result.milliseconds = elapsed < UINT32_MAX ? uint32_t(elapsed) : UINT32_MAX;
    return result;
}

void C_ScriptRunner::RunOpen(const Step& step, StepResult& result) {
    m_lastOpen = RequestFor(step, m_line);
    m_opened = true;
    if (!m_session.Open(m_lastOpen, kOpenLimitMs, result.detail))
        result.outcome = StepOutcome::OpenFailed;
}

// The target may be gone for a while (a board's USB port re-enumerating after its reset), so the opens are
// tried again until the time-out.
void C_ScriptRunner::RunReopen(const Step& step, StepResult& result) {
    const uint32_t limit = step.hasTimeout ? step.milliseconds : m_defaultTimeoutMs;
    const uint64_t deadline = m_session.Milliseconds() + limit;
    m_session.Close();
    if (!m_opened) {
        result.outcome = StepOutcome::OpenFailed;
        result.detail = L"nothing was opened before";
        return;
    }
    unsigned attempts = 0;
    std::wstring message;
    for (;;) {
        ++attempts;
        const DWORD remaining = Remaining(deadline);
        if (m_session.Open(m_lastOpen, remaining < kOpenLimitMs ? remaining : kOpenLimitMs, message))
            return;
        if (Remaining(deadline) == 0)
            break;
        m_session.ServeUntil(nullptr, Remaining(deadline) < kReopenRetryMs ? Remaining(deadline) : kReopenRetryMs);
    }
    result.outcome = StepOutcome::OpenFailed;
    result.detail = m_lastOpen.target + L" could not be opened within " + SecondsText(limit) + L" s (" +
                    std::to_wstring(attempts) + L" attempts): " + message;
}

void C_ScriptRunner::RunSend(const Step& step, StepResult& result) {
    if (!m_session.SendBytes(step.bytes, result.detail))
        result.outcome = StepOutcome::Failed;
}

// The steps that act on the open target: sends and line control.
void C_ScriptRunner::RunLineStep(const Step& step, StepResult& result) {
    if (!m_session.IsOpen()) {
        result.outcome = StepOutcome::Failed;
        result.detail = L"the target is not open";
        return;
    }
    bool done = false;
    switch (step.kind) {
    case StepKind::Send:
    case StepKind::SendHex:
        RunSend(step, result);
        return;
    case StepKind::Break:
        done = m_session.SendBreak(step.milliseconds, result.detail);
        break;
    case StepKind::Pulse:
        done = m_session.PulseModemLines(step.modemLines, step.milliseconds, result.detail);
        break;
    default:
        done = m_session.SetModemLine(step.modemLines, step.on, result.detail);
        // As the port menu does: a reopen (a board that resets) finds the line as the script last set it.
        if (done)
            m_lastOpen.line.linesAtOpen = WithLine(m_lastOpen.line.linesAtOpen, step.modemLines, step.on);
    }
    if (!done)
        result.outcome = StepOutcome::Failed;
}

void C_ScriptRunner::RunExpect(const Step& step, StepResult& result) {
    const bool expectNot = step.kind == StepKind::ExpectNot;
    const uint32_t limit = step.hasTimeout ? step.milliseconds : m_defaultTimeoutMs;
    const uint64_t deadline = m_session.Milliseconds() + limit;
    m_expect.BeginPattern();
    for (;;) {
        m_session.Received().MoveInto(m_expect);
        if (m_expect.HasUnsearched()) {
            size_t end = 0;
            std::wstring problem;
            const Search search = SearchHeld(step, deadline, end, problem);
            if (search == Search::Failed) {
                result.detail = problem;
                break;
            }
            if (search == Search::Found && expectNot) {
                result.detail = L"matched " + problem;
                break;
            }
            if (search == Search::Found) {
                m_expect.Consume(end);
                return;
            }
        }
        const DWORD remaining = Remaining(deadline);
        if (remaining == 0) {
            if (expectNot)
                return;
            result.detail = L"no match within " + SecondsText(limit) + L" s";
            break;
        }
        m_session.ServeUntil(m_session.Received().Arrived(), remaining);
    }
    result.outcome = StepOutcome::Failed;
    result.tail = m_session.Received().Tail();
}

C_ScriptRunner::Search C_ScriptRunner::SearchHeld(const Step& step, uint64_t deadline, size_t& end,
                                                  std::wstring& problem) {
    const std::wstring& held = m_expect.Text();
    const size_t from = m_expect.SearchFrom();
    // The character before the search's start goes along for the anchors.
    const size_t copyFrom = from > 0 ? from - 1 : 0;
    C_PatternSearch search;
    if (!search.Start(step.pattern, held.substr(copyFrom), from - copyFrom)) {
        problem = L"no thread could be started for the search";
        return Search::Failed;
    }
    const DWORD remaining = Remaining(deadline);
    if (!m_session.ServeUntil(search.Finished(), remaining > kSearchGraceMs ? remaining : kSearchGraceMs)) {
        problem = L"the pattern did not finish searching " + std::to_wstring(held.size() - from) +
                  L" characters within the time-out";
        return Search::Failed;
    }
    size_t begin = 0;
    std::wstring failure;
    switch (search.Result(begin, end, failure)) {
    case C_PatternSearch::Outcome::Found:
        end += copyFrom;
        if (step.kind == StepKind::ExpectNot) {
            std::wstring matched = held.substr(copyFrom + begin, end - copyFrom - begin);
            if (matched.size() > kMaxShownMatch)
                matched = matched.substr(0, kMaxShownMatch) + L"...";
            problem = L"\"" + Printable(matched) + L"\"";
        }
        return Search::Found;
    case C_PatternSearch::Outcome::NotFound:
        m_expect.Searched(held.size());
        return Search::NotFound;
    default:
        problem = L"the search failed: " + failure;
        return Search::Failed;
    }
}

DWORD C_ScriptRunner::Remaining(uint64_t deadline) {
    const uint64_t now = m_session.Milliseconds();
    return now < deadline ? DWORD(deadline - now) : 0;
}
