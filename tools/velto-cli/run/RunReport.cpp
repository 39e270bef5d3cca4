#include "velto-cli/run/RunReport.h"

#include <windows.h>

namespace {

// milliseconds as seconds with two decimals ("1.42") for people, three ("1.420") for the XML.
std::wstring Seconds(uint64_t milliseconds, int decimals) {
    const uint64_t scale = decimals == 2 ? 10 : 1;
    const uint64_t units = (milliseconds + scale / 2) / scale;
    const uint64_t divisor = decimals == 2 ? 100 : 1000;
    std::wstring fraction = std::to_wstring(divisor + units % divisor).substr(1);
    return std::to_wstring(units / divisor) + L"." + fraction;
}

std::wstring Label(const Step& step) {
    return step.line ? L"line " + std::to_wstring(step.line) : std::wstring(L"command line");
}

bool ShowsTime(StepKind kind) {
    return kind != StepKind::Timeout && kind != StepKind::Log && kind != StepKind::Dtr && kind != StepKind::Rts;
}

bool IsTestCase(const StepResult& result) {
    const StepKind kind = result.step->kind;
    return kind == StepKind::Expect || kind == StepKind::ExpectNot || result.outcome == StepOutcome::Failed ||
           result.outcome == StepOutcome::OpenFailed;
}

bool IsCharacterXmlAllows(wchar_t ch) {
    return ch == L'\t' || ch == L'\n' || ch == L'\r' || (ch >= 0x20 && ch != 0xFFFE && ch != 0xFFFF);
}

// Text for an attribute or an element; characters XML 1.0 cannot hold at all become U+FFFD.
std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t ch : text) {
        switch (ch) {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'"':
            out += L"&quot;";
            break;
        case L'\n':
            out += L"&#10;";
            break;
        case L'\r':
            out += L"&#13;";
            break;
        case L'\t':
            out += L"&#9;";
            break;
        default:
            out += IsCharacterXmlAllows(ch) ? ch : wchar_t(0xFFFD);
        }
    }
    return out;
}

// Unpaired surrogates become U+FFFD, as the system's conversion makes them.
std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

const StepResult* FirstFailure(const std::vector<StepResult>& results) {
    for (const StepResult& result : results)
        if (result.outcome == StepOutcome::Failed || result.outcome == StepOutcome::OpenFailed)
            return &result;
    return nullptr;
}

std::wstring TestCase(const std::wstring& suite, const StepResult& result, const StepResult* failure) {
    const Step& step = *result.step;
    const bool expect = step.kind == StepKind::Expect || step.kind == StepKind::ExpectNot;
    std::wstring xml = L"    <testcase classname=\"" + Escaped(suite) + L"\" name=\"" +
                       Escaped(Label(step) + L": " + step.source) + L"\" time=\"" + Seconds(result.milliseconds, 3) +
                       L"\"";
    switch (result.outcome) {
    case StepOutcome::Passed:
        return xml + L"/>\n";
    case StepOutcome::NotRun:
        return xml + L">\n      <skipped message=\"" +
               Escaped(L"not run: " + (failure ? Label(*failure->step) : L"an earlier step") + L" failed") +
               L"\"/>\n    </testcase>\n";
    default: {
        const std::wstring element = expect ? L"failure" : L"error";
        std::wstring body;
        if (!result.tail.empty())
            body = L"The last " + std::to_wstring(result.tail.size()) + L" characters received:\n" + result.tail;
        return xml + L">\n      <" + element + L" message=\"" + Escaped(result.detail) + L"\">" + Escaped(body) +
               L"</" + element + L">\n    </testcase>\n";
    }
    }
}

} // namespace

namespace RunReport {

std::wstring StepLine(const StepResult& result) {
    const Step& step = *result.step;
    std::wstring line = Label(step) + L": " + step.source;
    const std::wstring time = L" after " + Seconds(result.milliseconds, 2) + L" s";
    if (result.outcome == StepOutcome::Passed)
        return line + L" ok" + (ShowsTime(step.kind) ? time : L"");
    return line + L" failed" + time + L": " + result.detail;
}

std::wstring TailLine(const StepResult& result) {
    if (result.tail.empty())
        return L"";
    return Label(*result.step) + L": the last " + std::to_wstring(result.tail.size()) + L" characters received: \"" +
           Printable(result.tail) + L"\"";
}

std::wstring Summary(const std::vector<StepResult>& results, uint64_t milliseconds) {
    size_t passed = 0, notRun = 0;
    for (const StepResult& result : results) {
        passed += result.outcome == StepOutcome::Passed;
        notRun += result.outcome == StepOutcome::NotRun;
    }
    const std::wstring time = Seconds(milliseconds, 2) + L" s";
    const StepResult* failure = FirstFailure(results);
    if (!failure)
        return L"velto-cli run: all " + std::to_wstring(results.size()) + L" steps passed in " + time;
    return L"velto-cli run: " + Label(*failure->step) + L" failed after " + time + L": " + std::to_wstring(passed) +
           L" of " + std::to_wstring(results.size()) + L" steps passed, " + std::to_wstring(notRun) + L" not run";
}

std::string JUnit(const std::wstring& suite, const std::vector<StepResult>& results, uint64_t milliseconds) {
    const StepResult* failure = FirstFailure(results);
    size_t tests = 0, failures = 0, errors = 0, skipped = 0;
    std::wstring cases;
    for (const StepResult& result : results) {
        if (!IsTestCase(result))
            continue;
        ++tests;
        const bool expect = result.step->kind == StepKind::Expect || result.step->kind == StepKind::ExpectNot;
        if (result.outcome == StepOutcome::NotRun)
            ++skipped;
        else if (result.outcome != StepOutcome::Passed)
            ++(expect ? failures : errors);
        cases += TestCase(suite, result, failure);
    }
    const std::wstring counts = L" tests=\"" + std::to_wstring(tests) + L"\" failures=\"" + std::to_wstring(failures) +
                                L"\" errors=\"" + std::to_wstring(errors) + L"\" skipped=\"" +
                                std::to_wstring(skipped) + L"\" time=\"" + Seconds(milliseconds, 3) + L"\"";
    const std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + counts +
                             L">\n  <testsuite name=\"" + Escaped(suite) + L"\"" + counts + L">\n" + cases +
                             L"  </testsuite>\n</testsuites>\n";
    return Utf8(xml);
}

} // namespace RunReport
