// The script language of velto-cli run: what each step line becomes, and the errors that stop a script before
// anything is opened.
#include "velto-cli/run/Script.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A step as one line of text, so the table below reads like the scripts.
std::wstring Describe(const Step& step) {
    std::wstring text = Script::StepName(step.kind);
    if (!step.text.empty())
        text += L"[" + step.text + L"]";
    if (step.kind == StepKind::Send) {
        text += L"[";
        for (unsigned char byte : step.bytes)
            text += wchar_t(byte);
        text += L"]";
    } else
        for (unsigned char byte : step.bytes)
            text += L" " + std::to_wstring(byte);
    if (step.baudRate)
        text += L" baud=" + std::to_wstring(*step.baudRate);
    if (step.parity)
        text += L" parity=" + std::to_wstring(*step.parity);
    if (step.stopBits)
        text += L" stop=" + std::to_wstring(*step.stopBits);
    if (step.control.dataBits)
        text += L" data=" + std::to_wstring(*step.control.dataBits);
    if (step.control.flow)
        text += L" flow=" + std::to_wstring(int(*step.control.flow));
    if (step.control.dtr)
        text += std::wstring(L" dtr=") + (*step.control.dtr ? L"on" : L"off");
    if (step.control.rts)
        text += std::wstring(L" rts=") + (*step.control.rts ? L"on" : L"off");
    if (step.modemLines)
        text += L" lines=" + std::to_wstring(step.modemLines) + (step.on ? L" on" : L" off");
    if (step.milliseconds || step.hasTimeout)
        text += L" " + std::to_wstring(step.milliseconds) + L"ms";
    return text;
}

struct StepCase {
    const wchar_t* line;
    const wchar_t* step;
    const wchar_t* source;
};

TEST(Script, EachStepLineBecomesOneStepWithItsArguments) {
    const StepCase cases[] = {
        {L"open COM5", L"open[COM5]", L"open COM5"},
        {L"open \"\\\\.\\pipe\\bench one\" baud=9600 parity=even stop=1.5 data=7 flow=xonxoff dtr=off rts=on",
         L"open[\\\\.\\pipe\\bench one] baud=9600 parity=2 stop=1 data=7 flow=3 dtr=off rts=on", nullptr},
        // One blank separates the text; the rest of the line is the text, a # in it too.
        {L"send  two blanks\\r\\n", L"send[ two blanks\r\n]", nullptr},
        {L"send echo # not a comment\\n", L"send[echo # not a comment\n]", L"send echo # not a comment\\n"},
        {L"sendhex 01 02ff", L"sendhex 1 2 255", nullptr},
        // An escaped slash and one inside a class do not close the pattern.
        {L"expect /a\\/b [/]$/ timeout=1.5 # the comment", L"expect[a\\/b [/]$] 1500ms",
         L"expect /a\\/b [/]$/ timeout=1.5"},
        {L"expect /login: /", L"expect[login: ]", nullptr},
        {L"expectnot /panic/ for=0.25", L"expectnot[panic] 250ms", nullptr},
        {L"wait .5", L"wait 500ms", nullptr},
        {L"wait 0.0005", L"wait 1ms", nullptr},
        {L"timeout 0.25", L"timeout 250ms", nullptr},
        {L"expect /prompt/ timeout=0", L"expect[prompt] 0ms", nullptr},
        {L"log \"C:\\My Logs\\boot.log\"", L"log[C:\\My Logs\\boot.log]", nullptr},
        {L"\tclose", L"close", L"close"},
        {L"reopen timeout=30", L"reopen 30000ms", nullptr},
        {L"break 250", L"break 250ms", nullptr},
        {L"pulse both 100", L"pulse lines=3 off 100ms", nullptr},
        {L"dtr off", L"dtr lines=1 off", nullptr},
        {L"  rts on  # raise it", L"rts lines=2 on", L"rts on"},
    };
    for (const StepCase& test : cases) {
        std::vector<Step> steps;
        std::vector<ScriptError> errors;
        EXPECT_TRUE(Script::Parse(test.line, steps, errors)) << test.line;
        ASSERT_EQ(steps.size(), 1u) << test.line;
        EXPECT_EQ(Describe(steps[0]), test.step) << test.line;
        if (test.source) {
            EXPECT_EQ(steps[0].source, test.source);
        }
        EXPECT_EQ(steps[0].line, 1);
    }
}

struct ErrorCase {
    const wchar_t* line;
    const wchar_t* message; // a part of it
};

TEST(Script, EveryMistakeIsReportedAtItsLine) {
    const ErrorCase cases[] = {
        {L"sned x", L"unknown step 'sned'"},
        {L"expect /abc", L"missing closing slash in /abc"},
        {L"expect /[/]", L"missing closing slash"},
        {L"expect /a(/", L"bad regular expression /a(/: "},
        {L"expect abc", L"expect needs a /REGEX/"},
        {L"expect //", L"empty pattern"},
        {L"expect /a/ timeout=x", L"bad number 'x' for timeout="},
        {L"expect /a/ for=1", L"unknown option 'for=1'"},
        {L"expect /a/ timeout=1 timeout=2", L"names timeout= twice"},
        {L"expectnot /a/", L"expectnot needs for=SECONDS"},
        {L"wait", L"wait needs SECONDS"},
        {L"wait -1", L"bad number '-1' for wait"},
        {L"wait 1.2.3", L"bad number"},
        {L"wait 1e3", L"bad number"},
        {L"wait 604801", L"bad number"},
        {L"wait 2 3", L"wait takes nothing more, not '3'"},
        {L"send", L"send needs a TEXT"},
        {L"send bad\\q", L"unknown escape"},
        {L"send \\x0", L"\\x needs two hexadecimal digits"},
        {L"sendhex", L"sendhex needs bytes"},
        {L"sendhex 0g", L"'0g': not a hexadecimal digit"},
        {L"sendhex 123", L"'123': a byte needs two hexadecimal digits"},
        {L"open", L"open needs a TARGET"},
        {L"open COM5 9600", L"key=value"},
        {L"open COM5 speed=9600", L"unknown option 'speed='"},
        {L"open COM5 baud=0", L"bad number '0' for baud="},
        {L"open COM5 parity=odd parity=even", L"names parity= twice"},
        {L"open COM5 flow=cts", L"flow= cannot be 'cts'"},
        {L"break 0", L"bad number '0' for break"},
        {L"pulse cts 10", L"'cts' is no line"},
        {L"pulse dtr", L"pulse needs MS"},
        {L"dtr maybe", L"dtr takes on or off"},
        {L"log", L"log needs a FILE"},
        {L"log \"unclosed", L"missing closing quote"},
    };
    for (const ErrorCase& test : cases) {
        std::vector<Step> steps;
        std::vector<ScriptError> errors;
        EXPECT_FALSE(Script::Parse(std::wstring(L"wait 1\n") + test.line, steps, errors)) << test.line;
        ASSERT_EQ(errors.size(), 1u) << test.line;
        EXPECT_EQ(errors[0].line, 2) << test.line;
        EXPECT_NE(errors[0].message.find(test.message), std::wstring::npos)
            << "'" << std::string(test.line, test.line + wcslen(test.line)) << "' gave '"
            << std::string(errors[0].message.begin(), errors[0].message.end()) << "'";
    }
}

TEST(Script, OneParseFindsEveryErrorWithBlankAndCommentLinesCounted) {
    std::vector<Step> steps;
    std::vector<ScriptError> errors;
    EXPECT_FALSE(Script::Parse(L"# boot test\r\n\r\nsned\r\nexpect /ok/\r\n   \r\nwait x\r\nclose", steps, errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].line, 3);
    EXPECT_EQ(errors[1].line, 6);
    ASSERT_EQ(steps.size(), 2u) << "the good lines are parsed all the same";
    EXPECT_EQ(steps[0].line, 4);
    EXPECT_EQ(steps[0].text, L"ok") << "the CR of a CR LF is no part of the line";
    EXPECT_EQ(steps[1].line, 7);
}

TEST(Script, LoadReadsUtf8AndNamesTheLineThatIsNot) {
    TempFolder folder;
    const std::wstring good = folder.Path(L"good.txt"), bad = folder.Path(L"bad.txt");
    auto write = [](const std::wstring& path, const std::string& bytes) {
        C_Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
    };
    write(good, "\xEF\xBB\xBFsend gr\xC3\xBC\xC3\x9F"
                "e\r\nexpect /\xE2\x82\xAC/\r\n");
    write(bad, "send a\nsend b\nsend \xFC\n");

    std::wstring text, error;
    ASSERT_TRUE(Script::Load(good, text, error));
    EXPECT_EQ(text, L"send gr\u00FC\u00DFe\r\nexpect /\u20AC/\r\n") << "no byte-order mark in the text";
    EXPECT_FALSE(Script::Load(bad, text, error));
    EXPECT_NE(error.find(L"line 3 of script"), std::wstring::npos);
    EXPECT_FALSE(Script::Load(folder.Path(L"missing.txt"), text, error));
    EXPECT_NE(error.find(L"cannot open script"), std::wstring::npos);
}

} // namespace
