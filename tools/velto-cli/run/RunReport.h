#pragma once
// What velto-cli run reports besides the transcript: one line per step on standard error as the step ends, a
// summary line, and the JUnit file a CI server reads (one test suite for the script, one test case per expect
// and expectnot step, and one for any other step that failed, so a broken open shows as an error there too).
#include "velto-cli/run/ScriptRunner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace RunReport {

// "line 7: expect /login:/ ok after 1.42 s", or the failure and why.
std::wstring StepLine(const StepResult& result);
// For a failure that has one: "line 7: last 300 characters received: "..."". Empty otherwise.
std::wstring TailLine(const StepResult& result);
std::wstring Summary(const std::vector<StepResult>& results, uint64_t milliseconds);
// The JUnit XML, UTF-8. suite names the test suite (the script's file name).
std::string JUnit(const std::wstring& suite, const std::vector<StepResult>& results, uint64_t milliseconds);

} // namespace RunReport
