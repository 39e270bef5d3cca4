// The runner against a recording fake of the session: a board whose answers arrive at set times on a clock of
// the fake's own, so time-outs cost no real time (only the searches run on real threads).
#include "velto-cli/run/ScriptRunner.h"

#include "velto-cli/run/RunReport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

class C_FakeSession final : public C_RunSession {
public:
    struct Arrival {
        uint64_t at;
        std::wstring text;
    };
    std::vector<Arrival> arrivals;                // in time order
    std::map<std::wstring, std::wstring> answers; // sent text -> what arrives 10 ms later
    std::vector<std::wstring> calls;
    std::function<bool(unsigned number)> opens = [](unsigned) { return true; }; // by the open's number, from 1
    bool lineControl = true;
    uint64_t now = 0;
    std::vector<OpenRequest> requests;

    bool Open(const OpenRequest& request, DWORD, std::wstring& message) override {
        calls.push_back(L"open " + request.target + L" " + std::to_wstring(request.line.baudRate));
        requests.push_back(request);
        now += 5;
        if (!opens(++m_opens)) {
            message = L"Can't open serial port: " + request.target;
            return false;
        }
        m_open = true;
        return true;
    }
    void Close() override {
        calls.push_back(L"close");
        m_open = false;
    }
    bool IsOpen() override { return m_open; }
    bool SendBytes(const std::string& bytes, std::wstring&) override {
        std::wstring text;
        for (unsigned char byte : bytes)
            text += wchar_t(byte);
        calls.push_back(L"send " + text);
        const auto answer = answers.find(text);
        if (answer != answers.end())
            Arrive(now + 10, answer->second);
        return true;
    }
    bool SendBreak(uint32_t milliseconds, std::wstring& error) override {
        return LineControl(L"break " + std::to_wstring(milliseconds), error);
    }
    bool PulseModemLines(uint8_t lines, uint32_t milliseconds, std::wstring& error) override {
        return LineControl(L"pulse " + std::to_wstring(lines) + L" " + std::to_wstring(milliseconds), error);
    }
    bool SetModemLine(uint8_t line, bool raised, std::wstring& error) override {
        return LineControl(L"line " + std::to_wstring(line) + (raised ? L" on" : L" off"), error);
    }
    bool StartLog(const std::wstring& path, std::wstring&) override {
        calls.push_back(L"log " + path);
        return true;
    }
    // The arrival event: the next arrival within the limit, on the fake's clock. Anything else (a search's
    // end) is awaited for real, taking no time on the fake's clock unless the wait ends at its limit.
    bool ServeUntil(HANDLE event, DWORD limitMs) override {
        if (event && event != m_received.Arrived()) {
            const bool signalled = WaitForSingleObject(event, limitMs) == WAIT_OBJECT_0;
            if (!signalled)
                now += limitMs;
            return signalled;
        }
        const uint64_t until = now + limitMs;
        while (!arrivals.empty() && arrivals.front().at <= until) {
            now = arrivals.front().at > now ? arrivals.front().at : now;
            const std::wstring text = arrivals.front().text;
            arrivals.erase(arrivals.begin());
            m_received.AppendToLog(text.data(), uint32_t(text.size()));
            if (event)
                return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        }
        now = until;
        return false;
    }
    C_ReceivedText& Received() override { return m_received; }
    uint64_t Milliseconds() override { return now; }

    void Arrive(uint64_t at, const std::wstring& text) {
        auto place = arrivals.begin();
        while (place != arrivals.end() && place->at <= at)
            ++place;
        arrivals.insert(place, {at, text});
    }

private:
    bool LineControl(const std::wstring& call, std::wstring& error) {
        calls.push_back(call);
        if (!lineControl)
            error = L"COM5 does not support DTR/RTS control";
        return lineControl;
    }

    C_ReceivedText m_received;
    bool m_open = false;
    unsigned m_opens = 0;
};

class C_Lines final : public C_StepListener {
public:
    void OnStepEnded(const StepResult& result) override { lines.push_back(RunReport::StepLine(result)); }
    std::vector<std::wstring> lines;
};

struct Bench {
    C_FakeSession session;
    C_Lines listener;
    C_ScriptRunner runner{session, listener};
    std::vector<Step> steps;
    Step commandLineOpen;

    // Runs script, with "open COM5" from the command line first.
    RunOutcome Start(const wchar_t* script, bool withTarget = true) {
        std::vector<ScriptError> errors;
        EXPECT_TRUE(Script::Parse(script, steps, errors));
        commandLineOpen.kind = StepKind::Open;
        commandLineOpen.text = L"COM5";
        commandLineOpen.source = L"open COM5";
        OpenRequest line;
        line.line.baudRate = 9600;
        return runner.Run(steps, withTarget ? &commandLineOpen : nullptr, line);
    }
    const StepResult& Result(size_t index) const { return runner.Results().at(index); }
};

TEST(ScriptRunner, ALoginRunsStepByStepAndEachExpectSeesOnlyWhatFollowsThePreviousMatch) {
    Bench run;
    run.session.Arrive(100, L"U-Boot\nboard login: ");
    run.session.answers[L"root\n"] = L"root\nPassword: ";
    run.session.answers[L"secret\n"] = L"\nroot@board:~# ";
    run.session.answers[L"uname\n"] = L"uname\nLinux board\nroot@board:~# ";
    EXPECT_EQ(run.Start(L"expect /login: $/\nsend root\\n\nexpect /Password: $/\nsend secret\\n\n"
                        L"expect /^root@board:~# $/\nsend uname\\n\nexpect /Linux/\nexpect /# $/"),
              RunOutcome::Passed);

    EXPECT_EQ(run.session.calls,
              (std::vector<std::wstring>{L"open COM5 9600", L"send root\n", L"send secret\n", L"send uname\n"}));
    ASSERT_EQ(run.listener.lines.size(), 9u);
    EXPECT_EQ(run.listener.lines[0], L"command line: open COM5 ok after 0.01 s");
    EXPECT_EQ(run.listener.lines[1], L"line 1: expect /login: $/ ok after 0.10 s");
    EXPECT_EQ(run.Result(1).milliseconds, 95u) << "from the end of the open to the arrival";
    // The prompt before the command's answer was consumed by line 5, so line 8 waits for the one after it.
    EXPECT_EQ(run.listener.lines[8], L"line 8: expect /# $/ ok after 0.00 s");
}

TEST(ScriptRunner, ATimeOutFailsWithTheTailAndTheStepsAfterItAreNotRun) {
    Bench run;
    run.session.Arrive(50, std::wstring(100, L'a') + L"\n" + std::wstring(299, L'b'));
    EXPECT_EQ(run.Start(L"timeout 2\nexpect /login/\nsend root\\n\nexpect /#/ timeout=30"), RunOutcome::StepFailed);

    const StepResult& failed = run.Result(2);
    EXPECT_EQ(failed.outcome, StepOutcome::Failed);
    EXPECT_EQ(failed.milliseconds, 2000u);
    EXPECT_EQ(failed.detail, L"no match within 2 s");
    EXPECT_EQ(failed.tail, L"\n" + std::wstring(299, L'b'));
    EXPECT_EQ(RunReport::TailLine(failed),
              L"line 2: the last 300 characters received: \"\\n" + std::wstring(299, L'b') + L"\"");
    EXPECT_EQ(run.Result(3).outcome, StepOutcome::NotRun);
    EXPECT_EQ(run.Result(4).outcome, StepOutcome::NotRun);
    EXPECT_EQ(run.listener.lines.size(), 3u) << "steps not run are not reported as they end";
    EXPECT_EQ(run.session.calls.size(), 1u) << "nothing was sent after the failure";
    EXPECT_EQ(RunReport::Summary(run.runner.Results(), 2345),
              L"velto-cli run: line 2 failed after 2.35 s: 2 of 5 steps passed, 2 not run");
}

struct ExpectNotCase {
    const char* what;
    uint64_t arrivesAt;
    StepOutcome outcome;
    uint32_t milliseconds;
};

TEST(ScriptRunner, ExpectNotFailsOnTextWithinItsTimeIncludingTextAlreadyThere) {
    const ExpectNotCase cases[] = {
        {"received before the step, after the previous match", 100, StepOutcome::Failed, 0},
        {"received during it", 1200, StepOutcome::Failed, 700},
        {"received after it", 1600, StepOutcome::Passed, 1000},
    };
    for (const ExpectNotCase& test : cases) {
        Bench run;
        run.session.Arrive(test.arrivesAt, L"Kernel panic - not syncing");
        run.Start(L"wait 0.5\nexpectnot /panic/ for=1", false);
        const StepResult& result = run.Result(1);
        EXPECT_EQ(result.outcome, test.outcome) << test.what;
        EXPECT_EQ(result.milliseconds, test.milliseconds) << test.what;
        if (test.outcome == StepOutcome::Failed) {
            EXPECT_EQ(result.detail, L"matched \"panic\"") << test.what;
        }
    }
}

TEST(ScriptRunner, AFailedOpenEndsTheRunAsAnOpenFailure) {
    Bench run;
    run.session.opens = [](unsigned) { return false; };
    EXPECT_EQ(run.Start(L"expect /x/"), RunOutcome::OpenFailed);
    EXPECT_EQ(run.Result(0).outcome, StepOutcome::OpenFailed);
    EXPECT_EQ(run.listener.lines[0], L"command line: open COM5 failed after 0.01 s: Can't open serial port: COM5");
    EXPECT_EQ(run.Result(1).outcome, StepOutcome::NotRun);
}

TEST(ScriptRunner, AReopenRetriesTheLastOpenWithItsSettingsUntilTheTargetIsBack) {
    Bench run;
    run.session.opens = [](unsigned number) { return number == 1 || number >= 5; };
    EXPECT_EQ(run.Start(L"open COM7 parity=even\nreopen timeout=5", false), RunOutcome::Passed);
    EXPECT_EQ(run.session.calls, (std::vector<std::wstring>{L"open COM7 9600", L"close", L"open COM7 9600",
                                                            L"open COM7 9600", L"open COM7 9600", L"open COM7 9600"}));
    EXPECT_EQ(run.session.requests.back().line.parity, EVENPARITY) << "the step's own setting, the rest as given";
    EXPECT_EQ(run.Result(1).milliseconds, 3 * C_ScriptRunner::kReopenRetryMs + 4 * 5);
}

TEST(ScriptRunner, AReopenThatNeverSucceedsGivesUpAtItsTimeOutWithTheLastReason) {
    Bench run;
    run.session.opens = [](unsigned number) { return number == 1; };
    EXPECT_EQ(run.Start(L"timeout 1\nreopen\nsend x"), RunOutcome::OpenFailed);
    const StepResult& reopen = run.Result(2);
    EXPECT_EQ(reopen.outcome, StepOutcome::OpenFailed);
    EXPECT_GE(reopen.milliseconds, 1000u);
    EXPECT_LT(reopen.milliseconds, 1000u + C_ScriptRunner::kReopenRetryMs);
    EXPECT_EQ(reopen.detail.substr(0, 36), L"COM5 could not be opened within 1 s ");
    EXPECT_NE(reopen.detail.find(L"attempts): Can't open serial port: COM5"), std::wstring::npos);
}

TEST(ScriptRunner, StepsThatActOnTheTargetNeedItOpenAndFailWithTheSessionsReason) {
    Bench run;
    EXPECT_EQ(run.Start(L"break 250\npulse both 100\ndtr off\nrts on\nsendhex 01 ff\nlog boot.log"),
              RunOutcome::Passed);
    EXPECT_EQ(run.session.calls,
              (std::vector<std::wstring>{L"open COM5 9600", L"break 250", L"pulse 3 100", L"line 1 off", L"line 2 on",
                                         L"send \x01\xFF", L"log boot.log"}));

    Bench unsupported;
    unsupported.session.lineControl = false;
    EXPECT_EQ(unsupported.Start(L"break 250\nsend x"), RunOutcome::StepFailed);
    EXPECT_EQ(unsupported.listener.lines[1],
              L"line 1: break 250 failed after 0.00 s: COM5 does not support DTR/RTS control");

    Bench closed;
    EXPECT_EQ(closed.Start(L"close\nsend x"), RunOutcome::StepFailed);
    EXPECT_EQ(closed.Result(2).detail, L"the target is not open");
}

struct LineCase {
    const char* what;
    const wchar_t* script;
    const wchar_t* line; // the last open's data bits, parity, flow control and lines raised at opening
};

std::wstring DescribeLine(const SerialLineSettings& line) {
    const wchar_t* flows[] = {L"none", L"rtscts", L"dsrdtr", L"xonxoff"};
    const wchar_t* raised[] = {L"-", L"dtr", L"rts", L"dtr+rts"};
    return std::to_wstring(line.dataBits) + (line.parity == EVENPARITY ? L"E " : L"N ") + flows[line.flowControl] +
           L" " + raised[line.linesAtOpen & kBothModemLines];
}

TEST(ScriptRunner, AnOpenTakesTheCommandLinesLineWithItsOwnSettingsOverItAndAReopenKeepsTheLinesSet) {
    const LineCase cases[] = {
        {"as given", L"open COM7", L"7E xonxoff dtr"},
        {"the step's own", L"open COM7 data=8 parity=none flow=rtscts rts=on", L"8N rtscts dtr+rts"},
        {"one line changed, the other kept", L"open COM7 dtr=off", L"7E xonxoff -"},
        {"line steps are remembered for a reopen", L"open COM7\nrts on\ndtr off\nreopen", L"7E xonxoff rts"},
        {"but not for an open", L"open COM7\ndtr off\nopen COM7", L"7E xonxoff dtr"},
    };
    for (const LineCase& test : cases) {
        Bench run;
        std::vector<ScriptError> errors;
        ASSERT_TRUE(Script::Parse(test.script, run.steps, errors)) << test.what;
        OpenRequest given; // the command line's options
        given.line.dataBits = 7;
        given.line.parity = EVENPARITY;
        given.line.flowControl = FLOW_XON_XOFF;
        given.line.linesAtOpen = LINE_DTR;
        run.runner.Run(run.steps, nullptr, given);
        EXPECT_EQ(DescribeLine(run.session.requests.back().line), test.line) << test.what;
    }
}

TEST(ScriptRunner, ARunawayPatternEndsWithTheTimeOutInsteadOfHoldingTheScript) {
    Bench run;
    // Exponential backtracking: seconds for 24 characters, far beyond the time-out.
    run.session.Arrive(0, std::wstring(24, L'x'));
    EXPECT_EQ(run.Start(L"expect /(x+x+)+y/ timeout=0.1"), RunOutcome::StepFailed);
    const StepResult& result = run.Result(1);
    EXPECT_NE(result.detail.find(L"did not finish searching 24 characters"), std::wstring::npos);
    EXPECT_EQ(result.milliseconds, C_ScriptRunner::kSearchGraceMs) << "a search gets at least this long";
}

} // namespace
