// The main window's decisions that need no window: port buttons, the activity indicator, the start options, the
// save dialog's filter list and when a paste asks first.
#include "ui/tabs/ActivityIndicator.h"
#include "ui/window/PasteGuard.h"
#include "ui/framework/Language.h"
#include "ui/window/PortButtons.h"
#include "ui/dialogs/SaveFileDialog.h"
#include "ui/window/StartOptions.h"
#include "ui/framework/ResourceIds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PortButtonsTest, ImageFollowsThePortKind) {
    const struct {
        uint32_t kind;
        UINT icon;
    } cases[] = {
        {PORT_KIND_STMICRO, IDI_PORT_STM}, {PORT_KIND_FTDI, IDI_PORT_FTDI},         {PORT_KIND_PIPE, IDI_PORT_PIPE},
        {PORT_KIND_TCP, IDI_PORT_TCP},     {PORT_KIND_PROLIFIC, IDI_PORT_PROLIFIC}, {PORT_KIND_OTHER, IDI_PORT_GENERIC},
        {PORT_KIND_UDP, IDI_PORT_UDP},     {PORT_KIND_CYPRESS, IDI_PORT_CYPRESS},   {15, IDI_PORT_GENERIC},
        {0xFFFFFFFF, IDI_PORT_GENERIC},
    };
    for (const auto& c : cases) {
        const int image = PortButtons::ImageOfKind(c.kind);
        ASSERT_TRUE(image >= 0 && image < PortButtons::kKindIconCount) << "kind " << c.kind;
        EXPECT_EQ(PortButtons::kKindIcons[image], c.icon) << "kind " << c.kind;
    }
}

// A port's button is pressed while a tab has it open; greyed only when no tab waits for it and the probe failed.
// A click brings its tab forward (reopening it there), closes it when that tab is in front and open, or opens a
// new tab.
TEST(PortButtonsTest, LookAndClickFollowTheTabThatShowsThePort) {
    using PortButtons::Click;
    using PortButtons::Look;
    const struct {
        bool present, inTab, open, front;
        Look look;
        Click click;
    } cases[] = {
        {true, true, true, true, Look::Pressed, Click::Close},
        {false, true, true, true, Look::Pressed, Click::Close}, // the probe cannot open what we hold
        {true, true, true, false, Look::Pressed, Click::BringForward},
        {false, true, false, true, Look::Normal, Click::BringForward}, // lost: its tab waits for it
        {true, true, false, false, Look::Normal, Click::BringForward},
        {false, false, false, false, Look::Greyed, Click::OpenNewTab},
        {true, false, false, false, Look::Normal, Click::OpenNewTab},
    };
    for (const auto& c : cases) {
        const PortButtons::PortState state{c.present, c.inTab, c.open, c.front};
        EXPECT_EQ(PortButtons::LookOf(state), c.look) << c.present << c.inTab << c.open << c.front;
        EXPECT_EQ(PortButtons::ClickOn(state), c.click) << c.present << c.inTab << c.open << c.front;
    }
}

TEST(ActivityIndicatorTest, AnimatesWhileHiddenLinesArriveAndRestsFiveSecondsAfterTheLast) {
    C_ActivityIndicator indicator;
    EXPECT_TRUE(indicator.Note(1000));  // at rest: the caller starts the timer
    EXPECT_FALSE(indicator.Note(1100)); // already running
    const UINT expected[] = {148, 147, 149, 146, 148};
    uint64_t now = 1100;
    for (UINT icon : expected) {
        now += 250;
        const auto step = indicator.Advance(now);
        EXPECT_TRUE(step.keepRunning);
        EXPECT_EQ(step.icon, icon);
    }
    const auto last = indicator.Advance(1100 + C_ActivityIndicator::kActiveForMs);
    EXPECT_TRUE(last.keepRunning); // exactly five seconds old still counts
    const auto rest = indicator.Advance(1100 + C_ActivityIndicator::kActiveForMs + 1);
    EXPECT_FALSE(rest.keepRunning);
    EXPECT_EQ(rest.icon, 146u);
    EXPECT_TRUE(indicator.Note(9000)); // starts again from phase 0
    EXPECT_EQ(indicator.Advance(9250).icon, 148u);
}

TEST(StartOptionsTest, LanguagePortAndBaudRateFromTheCommandLine) {
    const struct {
        const wchar_t* line;
        LANGID language;
        const wchar_t* port;
        uint32_t baud;
    } cases[] = {
        {L"-p COM7 -b 9600", 0, L"COM7", 9600},
        {L"/L de -P \"tcp://127.0.0.1:2323\"", Language::kGerman, L"tcp://127.0.0.1:2323", 0},
        {L"-l RU", MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), L"", 0},
        {L"-l xx -b 0", 0, L"", 0},
        {L"-b -5", 0, L"", 0}, // not a rate: the stored one stays
        {L"-b 0x1C200", 0, L"", 115200},
        {L"", 0, L"", 0},
    };
    for (const auto& c : cases) {
        StartOptions options;
        ReadStartOptions(c.line, options);
        EXPECT_EQ(PRIMARYLANGID(options.language), PRIMARYLANGID(c.language)) << c.line;
        EXPECT_STREQ(options.port.c_str(), c.port) << c.line;
        EXPECT_EQ(options.baudRate, c.baud) << c.line;
    }
}

TEST(SaveFileDialogTest, TheTextsLastCharacterSeparatesTheFilterEntries) {
    C_String list;
    ASSERT_TRUE(SaveFileDialog::FilterList(L"TXT Format|*.txt|HTML Format|*.html||", list));
    EXPECT_EQ(std::wstring(list.c_str(), 38), std::wstring(L"TXT Format\0*.txt\0HTML Format\0*.html\0\0", 38));
    EXPECT_FALSE(SaveFileDialog::FilterList(L"", list));
}

TEST(PasteGuardTest, SeveralLinesOrMoreThanFourKibAskFirst) {
    struct Case {
        std::wstring text;
        uint64_t lines;
        uint64_t bytes;
        bool asks;
    };
    const Case cases[] = {
        {L"", 0, 0, false},
        {L"ls", 1, 2, false},
        {L"ls\r\n", 1, 4, false},
        {L"reboot\n", 1, 7, false},
        {L"a\r\nb", 2, 4, true},
        {L"a\n\nb\n", 3, 5, true},
        {L"a\rb\rc", 3, 5, true},
        {std::wstring(4096, L'x'), 1, 4096, false},
        {std::wstring(4097, L'x'), 1, 4097, true},
        {L"caf\x00E9 \x20AC", 1, 6, false}, // bytes as sent: one each in the code page (1252 here)
    };
    for (const Case& c : cases) {
        const PasteGuard::Size size = PasteGuard::Measure(c.text.c_str());
        EXPECT_EQ(size.lines, c.lines) << c.text.size();
        EXPECT_EQ(size.bytes, c.bytes) << c.text.size();
        EXPECT_EQ(PasteGuard::NeedsQuestion(size), c.asks) << c.text.size();
    }
}

} // namespace
