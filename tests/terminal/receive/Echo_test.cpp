// The local echo: what was sent joins the received lines in its grey on the current background, as text and
// line ends only, and reaches the log like received text.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr Rgb kEcho = C_ReceiveAssembly::kEchoForeground;
constexpr Rgb kFg = Colour::kDefaultForeground;
constexpr Rgb kBg = Colour::kDefaultBackground;

class RecordingLog final : public C_LogSink {
public:
    void AppendToLog(const wchar_t* text, uint32_t length) override { logged.append(text, length); }
    std::wstring logged;
};

struct EchoTerminal : TerminalHarness {
    EchoTerminal() { assembly.SetLocalEcho(true); }
    void Sent(const std::string& bytes) {
        assembly.ProcessSentData(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
    }
};

} // namespace

TEST(Echo, SentLinesAndReceivedLinesShareTheView) {
    struct Case {
        std::vector<std::pair<char, std::string>> steps; // 'r' received, 's' sent
        std::wstring text;
    };
    const Case cases[] = {
        // A device that does not echo: the answer's own line end ends no further line.
        {{{'r', "> "}, {'s', "help\r"}, {'r', "\r\nOK\r\n> "}}, L"> help|OK|> "},
        {{{'s', "AT\r\n"}, {'r', "\nOK\n"}}, L"AT|OK|"},
        // Only that first line end: an empty line the device sends later stays.
        {{{'s', "a\r"}, {'r', "\r\n\r\nb\r\n"}}, L"a||b|"},
        {{{'s', "a\r"}, {'s', "\r"}, {'s', "b\r"}}, L"a||b|"},
        // Controls are not shown and do nothing; ESC does not start a sequence.
        {{{'s', std::string("\x1b[31mred\x07\x00\x7f!", 12)}, {'r', "x"}}, L"[31mred!x"},
        // The code page's characters (1252 here); a paced send's single bytes come together.
        {{{'s', "caf\xE9 \x80"}, {'s', "\r"}, {'s', "n"}, {'s', "o"}}, L"caf\x00E9 \x20AC|no"},
    };
    for (const Case& c : cases) {
        EchoTerminal t;
        for (const auto& step : c.steps)
            if (step.first == 'r')
                t.Receive(step.second);
            else
                t.Sent(step.second);
        t.assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
        EXPECT_EQ(t.Text(), c.text + L"|");
    }
}

TEST(Echo, EchoIsGreyOnTheCurrentBackgroundAndLeavesTheDevicesColoursAlone) {
    EchoTerminal t;
    t.Receive("\x1b[31;44m> ");
    t.Sent("ls\r");
    t.Receive("file");
    EXPECT_EQ(t.ForegroundAt(0, 0), Stored(0xE7132C)) << "the prompt in the device's red";
    EXPECT_EQ(t.ForegroundAt(0, 2), Stored(kEcho));
    EXPECT_EQ(t.BackgroundAt(0, 2), Stored(0x0037DA)) << "on the background the device set";
    EXPECT_EQ(t.ForegroundAt(1, 0), Stored(0xE7132C)) << "the device's colours go on after the echo";
    EXPECT_EQ(t.BackgroundAt(1, 0), Stored(0x0037DA));
}

TEST(Echo, EchoedLinesGoToTheLogAndNothingIsEchoedWhileTheEchoIsOff) {
    EchoTerminal t;
    RecordingLog log;
    t.assembly.SetLogSink(&log);
    t.Receive("boot ok\r\n");
    t.Sent("reset\r");
    t.Receive("\r\nbye\r\n");
    t.assembly.SetLocalEcho(false);
    t.Sent("unseen\r");
    t.Receive("end");
    t.assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    EXPECT_EQ(log.logged, L"boot ok\nreset\nbye\nend");
    EXPECT_EQ(t.Text(), L"boot ok|reset|bye|end|");
    EXPECT_EQ(t.ForegroundAt(1, 0), Stored(kEcho));
    EXPECT_EQ(t.ForegroundAt(2, 0), Stored(kFg));
    EXPECT_EQ(t.BackgroundAt(2, 0), Stored(kBg));
}
