#pragma once
// C_ScriptRunner: runs a parsed script against a session, step by step, up to the first step that fails; the
// steps after it are not run (a login that failed makes every later answer meaningless). Each step's result
// goes to a listener as the step ends, so progress shows while a long script runs.
//
// An expect waits on the session's signal that text arrived, never by polling; each search of the text runs
// on a thread of its own, so a runaway pattern ends with the time-out like a missing answer.
#include "velto-cli/run/ReceivedText.h"
#include "velto-cli/run/RunSession.h"
#include "velto-cli/run/Script.h"

#include <cstdint>
#include <string>
#include <vector>

enum class StepOutcome { Passed, Failed, OpenFailed, NotRun };

struct StepResult {
    const Step* step = nullptr;
    StepOutcome outcome = StepOutcome::NotRun;
    uint32_t milliseconds = 0;
    std::wstring detail; // why it failed
    std::wstring tail;   // an expect's or expectnot's failure: the last characters received
};

class C_StepListener {
public:
    virtual void OnStepEnded(const StepResult& result) = 0;

protected:
    ~C_StepListener() = default;
};

enum class RunOutcome { Passed, StepFailed, OpenFailed };

class C_ScriptRunner {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 10000;
    static constexpr DWORD kOpenLimitMs = 60000;
    // Between two attempts of a reopen: the adapter of a board that resets is back within a second or two.
    static constexpr DWORD kReopenRetryMs = 250;
    // A search started just before the time-out still gets this long: timeout=0 looks once at what is there.
    static constexpr DWORD kSearchGraceMs = 250;

    C_ScriptRunner(C_RunSession& session, C_StepListener& listener) : m_session(session), m_listener(listener) {}

    // Runs commandLineOpen (when given) and then steps. line gives the settings of every open, each open step
    // replacing those it names.
    RunOutcome Run(const std::vector<Step>& steps, const Step* commandLineOpen, const OpenRequest& line);
    // One per step, the command line's open first, in order; those after a failure are NotRun.
    const std::vector<StepResult>& Results() const { return m_results; }

private:
    StepResult RunStep(const Step& step);
    void RunOpen(const Step& step, StepResult& result);
    void RunReopen(const Step& step, StepResult& result);
    void RunExpect(const Step& step, StepResult& result);
    void RunLineStep(const Step& step, StepResult& result);
    void RunSend(const Step& step, StepResult& result);
    enum class Search { Found, NotFound, Failed };
    Search SearchHeld(const Step& step, uint64_t deadline, size_t& end, std::wstring& problem);
    DWORD Remaining(uint64_t deadline);

    C_RunSession& m_session;
    C_StepListener& m_listener;
    std::vector<StepResult> m_results;
    C_ExpectText m_expect;
    OpenRequest m_line;
    OpenRequest m_lastOpen;
    bool m_opened = false;
    uint32_t m_defaultTimeoutMs = kDefaultTimeoutMs;
};

// A text as one line for a report: controls as \n, \r, \t and \xHH, backslashes doubled, quotes escaped.
std::wstring Printable(const std::wstring& text);
