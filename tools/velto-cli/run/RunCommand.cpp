// velto-cli run: runs a send-and-expect script against a board on a test bench. The whole script is read and
// checked first; only a script without errors opens anything. The transcript goes to standard output as replay
// writes it, one line per step to standard error as it ends, and the JUnit file where --junit says.
// The session first: it brings the socket library's header, which must precede the system's.
#include "velto-cli/run/ConnectionRunSession.h"

#include "foundation/base/File.h"
#include "foundation/settings/Options.h"
#include "velto-cli/Commands.h"
#include "velto-cli/Console.h"
#include "velto-cli/ExitStatus.h"
#include "velto-cli/LineOptions.h"
#include "velto-cli/run/RunReport.h"
#include "velto-cli/run/Script.h"
#include "velto-cli/run/ScriptRunner.h"

#include <string>
#include <vector>

namespace {

const wchar_t kCommand[] = L"run";
constexpr int kExitOpenFailed = 1;
constexpr int kExitStepFailed = 3;
constexpr int kMaxCharDelayMs = 60000;
// A file that is no script at all would otherwise fill the screen with one error per line.
constexpr size_t kMaxErrorsShown = 20;

struct RunOptions {
    LineOptions line;
    int charDelay = int(C_PersistedOptions::kDefaultCharSendDelay);
    std::wstring junitPath;
    StoreOutputOptions output;
};

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli run: ") + message);
}

void AddRunOptions(C_OptionTable& table, RunOptions& values) {
    AddLineOptions(table, values.line);
    table.AddNumber(L"--char-delay", L"MS", L"pause after each character sent (default 0: no pause)", values.charDelay,
                    0, kMaxCharDelayMs);
    table.AddText(L"--junit", L"FILE", L"also write the expect steps' results to FILE as JUnit XML", values.junitPath);
    AddStoreOutputOptions(table, values.output);
}

class C_ErrorListener final : public C_StepListener {
public:
    void OnStepEnded(const StepResult& result) override {
        Console::Error(RunReport::StepLine(result));
        const std::wstring tail = RunReport::TailLine(result);
        if (!tail.empty())
            Console::Error(tail);
    }
};

bool ReadScript(const std::wstring& path, std::vector<Step>& steps) {
    std::wstring text, error;
    if (!Script::Load(path, text, error)) {
        Fail(error);
        return false;
    }
    std::vector<ScriptError> errors;
    if (Script::Parse(text, steps, errors))
        return true;
    for (size_t i = 0; i < errors.size() && i < kMaxErrorsShown; ++i)
        Fail(L"line " + std::to_wstring(errors[i].line) + L": " + errors[i].message);
    if (errors.size() > kMaxErrorsShown)
        Fail(L"and " + std::to_wstring(errors.size() - kMaxErrorsShown) + L" more errors");
    return false;
}

// A step that talks to the target before anything could be open is a mistake in the script, found now.
bool CheckTargetOrder(const std::vector<Step>& steps, bool hasTarget) {
    for (const Step& step : steps) {
        if (step.kind == StepKind::Open)
            return true;
        if (!hasTarget && Script::NeedsTarget(step.kind)) {
            Fail(L"line " + std::to_wstring(step.line) + L": " + Script::StepName(step.kind) +
                 L" comes before any open: give a TARGET or open one first");
            return false;
        }
    }
    return true;
}

std::wstring FileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Opened before anything is connected, so a path that cannot be written fails at once; replaced at the end.
class C_JUnitFile {
public:
    explicit C_JUnitFile(const std::wstring& path) : m_path(path) {}
    bool Prepare() {
        if (m_path.empty())
            return true;
        if (m_file.Open(m_path.c_str(), C_File::MODE_WRITE_ALWAYS, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ))
            return true;
        Fail(L"cannot create JUnit file '" + m_path + L"'");
        return false;
    }
    bool Write(const std::string& xml) {
        if (m_path.empty())
            return true;
        DWORD written = 0;
        if (m_file.Seek(0) && SetEndOfFile(m_file.GetHandle()) &&
            m_file.Write(DWORD(xml.size()), xml.data(), &written) && written == xml.size())
            return true;
        Fail(L"writing the JUnit file '" + m_path + L"' failed");
        return false;
    }

private:
    std::wstring m_path;
    C_File m_file;
};

bool ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& values, std::wstring& script,
                    std::wstring& target) {
    C_OptionTable options;
    AddRunOptions(options, values);
    std::vector<std::wstring> positional;
    std::wstring error;
    if (!options.Parse(arguments, positional, error)) {
    } else if (positional.empty() || positional[0].empty()) {
        error = L"no SCRIPT given";
    } else if (positional.size() > 2) {
        error = L"more than a SCRIPT and a TARGET given: '" + positional[2] + L"'";
    } else if (positional.size() == 2 && positional[1].empty()) {
        error = L"the TARGET is empty";
    } else {
        error = CheckStoreOutputOptions(values.output);
    }
    if (!error.empty()) {
        Fail(error);
        return false;
    }
    script = positional[0];
    target = positional.size() == 2 ? positional[1] : L"";
    return true;
}

int ExitStatusOf(RunOutcome outcome, int written) {
    if (outcome == RunOutcome::OpenFailed)
        return kExitOpenFailed;
    if (outcome == RunOutcome::StepFailed)
        return kExitStepFailed;
    return written;
}

} // namespace

std::wstring RunHelp() {
    RunOptions values;
    C_OptionTable options;
    AddRunOptions(options, values);
    return L"velto-cli run [options] SCRIPT [TARGET]\r\n"
           L"  Runs the send-and-expect SCRIPT (UTF-8, one step per line, # starts a comment) against TARGET, which\r\n"
           L"  opens before the first step, or against what the script's open steps open. Steps:\r\n"
           L"    open TARGET [baud=N] [parity=P] [stop=S] [data=N] [flow=F] [dtr=on|off] [rts=on|off]\r\n"
           L"    send TEXT (the rest of the line; \\r \\n \\t \\\\ \\xHH)     sendhex 01 02 ff\r\n"
           L"    expect /REGEX/ [timeout=SECONDS]     expectnot /REGEX/ for=SECONDS\r\n"
           L"    wait SECONDS     timeout SECONDS (expect's default, 10)     log FILE\r\n"
           L"    close     reopen [timeout=SECONDS]     break MS     pulse dtr|rts|both MS     dtr on|off     "
           L"rts on|off\r\n"
           L"  The line options below apply to TARGET and to every open step; an open step's own options go over\r\n"
           L"  them. Line control needs a serial port; what its driver refuses fails the step or the open.\r\n"
           L"  An expect searches the text received since the previous match, escape sequences interpreted and\r\n"
           L"  lines ending in \\n (ECMAScript syntax; ^ and $ match at line ends). The transcript is written as\r\n"
           L"  replay writes it; standard error gets a line per step and a summary. Exit status: 0 every step\r\n"
           L"  passed, 3 a step failed, 1 an open failed, 2 a bad script or bad arguments (nothing was opened).\r\n"
           L"Options:\r\n" +
           options.Help();
}

int RunScript(const std::vector<std::wstring>& arguments) {
    RunOptions values;
    std::wstring scriptPath, target;
    if (!ParseArguments(arguments, values, scriptPath, target))
        return kExitUsage;
    std::vector<Step> steps;
    if (!ReadScript(scriptPath, steps) || !CheckTargetOrder(steps, !target.empty()))
        return kExitUsage;
    C_StoreOutput output(values.output, kCommand);
    C_JUnitFile junit(values.junitPath);
    if (!output.Prepare() || !junit.Prepare())
        return kExitUsage;

    C_ConnectionRunSession session(values.output, uint32_t(values.charDelay));
    if (!session.Start()) {
        Fail(L"the connection manager could not start");
        return kExitOpenFailed;
    }
    Step commandLineOpen;
    commandLineOpen.kind = StepKind::Open;
    commandLineOpen.text = target;
    commandLineOpen.source = L"open " + target;
    OpenRequest line;
    line.line = values.line.Settings();
    C_ErrorListener listener;
    C_ScriptRunner runner(session, listener);
    const uint64_t start = GetTickCount64();
    const RunOutcome outcome = runner.Run(steps, target.empty() ? nullptr : &commandLineOpen, line);
    session.Finish();
    const uint64_t elapsed = GetTickCount64() - start;
    Console::Error(RunReport::Summary(runner.Results(), elapsed));
    ReportDroppedLines(session.Store(), kCommand);
    int written = output.Write(session.Store());
    if (!junit.Write(RunReport::JUnit(FileName(scriptPath), runner.Results(), elapsed)))
        written = kExitWriteFailed;
    return ExitStatusOf(outcome, written);
}
