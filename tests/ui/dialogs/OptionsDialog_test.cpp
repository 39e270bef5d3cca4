#include "ui/dialogs/OptionsDialog.h"

#include "connection/manager/ConnectionWindow.h"
#include "ui/framework/FontList.h"
#include "ui/framework/Language.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// Records what the dialog asks of the main window, and the options as they were at each request.
class RecordingHost : public C_OptionsHost {
public:
    RecordingHost() {
        options.charSendDelay = 20;
        options.baudRate = 115200;
        options.fontName.Assign(L"Liberation Mono");
        options.timeFormat.Assign(L"dd.MM.yyyy HH:mm:ss>");
    }
    C_PersistedOptions& GetOptions() override { return options; }
    void ApplyDisplayOptions() override { calls.push_back(L"fonts:" + std::wstring(options.fontName.c_str())); }
    void RefreshPorts() override { calls.push_back(L"refresh"); }

    C_PersistedOptions options;
    std::vector<std::wstring> calls;
};

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

std::wstring SelectedText(HWND dialog, int id) {
    LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return L"<none>";
    wchar_t text[300] = {};
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
    return text;
}

// As a user picks an entry from a drop-down list (an editable field shows the picked text).
void Pick(HWND dialog, int id, const wchar_t* text) {
    LRESULT count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        wchar_t item[300] = {};
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(item));
        if (std::wstring(item) == text) {
            SendDlgItemMessageW(dialog, id, CB_SETCURSEL, WPARAM(index), 0);
            return;
        }
    }
    ADD_FAILURE() << "no item " << std::string(text, text + wcslen(text));
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Language::SetInterfaceLanguage(Language::kEnglishUk); }

    // Runs the dialog with the script acting in it; the script ends it.
    INT_PTR Run(const std::function<void(HWND)>& script) {
        ModalDialogScript acting(script);
        INT_PTR result = dialog.Run(Instance(), owner.Get(), host);
        EXPECT_TRUE(acting.Ran());
        return result;
    }

    RecordingHost host;
    C_OptionsDialog dialog;
    OwnerWindow owner;
};

TEST(OptionsNumberTest, TypedTextGivesItsLeadingNumberOrNothing) {
    struct Case {
        const wchar_t* text;
        bool read;
        uint32_t value;
    };
    for (const Case& c :
         {Case{L"250 ms", true, 250}, Case{L"250", true, 250}, Case{L"  42ms", true, 42}, Case{L"0", true, 0},
          Case{L"4294967295", true, 4294967295u}, Case{L"fast", false, 7}, Case{L"", false, 7},
          Case{L"ms 250", false, 7}, Case{L"-5", false, 7}, Case{L"4294967296", false, 7}}) {
        uint32_t value = 7;
        EXPECT_EQ(C_OptionsDialog::ReadLeadingNumber(c.text, value), c.read) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST_F(OptionsDialogTest, OpensShowingTheOptionsInEffect) {
    host.options.baudRate = 250000; // not on the list, still shown
    host.options.parity = 2;
    host.options.stopBits = 1;
    host.options.dataBits = 7;
    host.options.flowControl = FLOW_XON_XOFF;
    host.options.fontSize = 240;
    host.options.flags = FLAG_BOLD;
    host.options.enterSends = EnterSends::Lf;
    host.options.lineDelay = 100;
    std::vector<std::wstring> fonts;
    ASSERT_TRUE(FontList::ListFixedPitchFonts(fonts));
    Run([&](HWND window) {
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_SEND_DELAY), L"20 ms");
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_BAUD_RATE), L"250000");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_PARITY), L"Even");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_STOP_BITS), L"1.5");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_DATA_BITS), L"7");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_FLOW_CONTROL), L"XON/XOFF");
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_FLOW_CONTROL_LABEL), L"Flow Control");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_FONT), L"Liberation Mono");
        EXPECT_EQ(SendDlgItemMessageW(window, IDC_OPTIONS_FONT, CB_GETCOUNT, 0, 0), LRESULT(fonts.size()));
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_FONT_SIZE), L"12");
        EXPECT_EQ(SendDlgItemMessageW(window, IDC_OPTIONS_FONT_SIZE, CB_GETCOUNT, 0, 0), 13); // 8 to 20 points
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_TIME_FORMAT), L"dd.MM.yyyy HH:mm:ss>");
        EXPECT_EQ(SendDlgItemMessageW(window, IDC_OPTIONS_TIME_FORMAT, CB_GETCOUNT, 0, 0), 5);
        EXPECT_EQ(IsDlgButtonChecked(window, IDC_OPTIONS_BOLD), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(window, IDC_OPTIONS_AUTO_UPDATE), BST_UNCHECKED);
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_TEXT_FILES), L"ANSI code page"); // the bit is not set
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_TEXT_FILES_LABEL), L"Text files");
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_SEND_DELAY_LABEL), L"Character Send Delay");
        EXPECT_EQ(SelectedText(window, IDC_OPTIONS_ENTER_SENDS), L"LF");
        EXPECT_EQ(TextOf(window, IDC_OPTIONS_LINE_DELAY), L"100 ms");
        EXPECT_EQ(TextOf(window, IDC_CANCEL), L"Cancel");
        Press(window, IDC_CANCEL);
    });
}

// Each case changes the fields of an opened dialog and presses OK.
TEST_F(OptionsDialogTest, OkAppliesWhatWasTypedOrChosen) {
    struct Case {
        const char* name;
        std::function<void(C_PersistedOptions&)> stored; // before opening
        std::function<void(HWND)> edit;
        std::function<void(const C_PersistedOptions&)> check;
    };
    auto type = [](int id, const wchar_t* text) { return [=](HWND w) { SetDlgItemTextW(w, id, text); }; };
    auto pick = [](int id, const wchar_t* text) { return [=](HWND w) { Pick(w, id, text); }; };
    auto nothing = [](C_PersistedOptions&) {};
    const Case cases[] = {
        {"delay with unit", nothing, type(IDC_OPTIONS_SEND_DELAY, L"250 ms"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.charSendDelay, 250u); }},
        {"delay without unit", nothing, type(IDC_OPTIONS_SEND_DELAY, L"250"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.charSendDelay, 250u); }},
        {"delay as a word", nothing, type(IDC_OPTIONS_SEND_DELAY, L"slow"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.charSendDelay, 20u); }},
        {"delay emptied", nothing, type(IDC_OPTIONS_SEND_DELAY, L""),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.charSendDelay, 20u); }},
        {"delay from the list", nothing, pick(IDC_OPTIONS_SEND_DELAY, L"1000 ms"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.charSendDelay, 1000u); }},
        {"rate the list lacks", nothing, type(IDC_OPTIONS_BAUD_RATE, L"250000"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.baudRate, 250000u); }},
        {"rate zero", nothing, type(IDC_OPTIONS_BAUD_RATE, L"0"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.baudRate, 0u); }},
        {"unknown parity kept", [](C_PersistedOptions& o) { o.parity = 3; },
         [](HWND w) { EXPECT_EQ(SendDlgItemMessageW(w, IDC_OPTIONS_PARITY, CB_GETCURSEL, 0, 0), CB_ERR); },
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.parity, 3); }},
        {"odd parity", nothing, pick(IDC_OPTIONS_PARITY, L"Odd"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.parity, 1); }},
        {"two stop bits", nothing, pick(IDC_OPTIONS_STOP_BITS, L"2"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.stopBits, 2); }},
        {"seven data bits", nothing, pick(IDC_OPTIONS_DATA_BITS, L"7"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.dataBits, 7); }},
        {"unknown data bits kept", [](C_PersistedOptions& o) { o.dataBits = 9; }, [](HWND) {},
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.dataBits, 9); }},
        {"RTS/CTS", nothing, pick(IDC_OPTIONS_FLOW_CONTROL, L"RTS/CTS"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flowControl, FLOW_RTS_CTS); }},
        {"flow control off again", [](C_PersistedOptions& o) { o.flowControl = FLOW_DSR_DTR; },
         pick(IDC_OPTIONS_FLOW_CONTROL, L"None"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flowControl, FLOW_NONE); }},
        {"uninstalled font kept", [](C_PersistedOptions& o) { o.fontName.Assign(L"No Such Mono"); }, [](HWND) {},
         [](const C_PersistedOptions& o) { EXPECT_STREQ(o.fontName.c_str(), L"No Such Mono"); }},
        {"other font", nothing, pick(IDC_OPTIONS_FONT, L"DejaVu Sans Mono"),
         [](const C_PersistedOptions& o) { EXPECT_STREQ(o.fontName.c_str(), L"DejaVu Sans Mono"); }},
        {"size 14", nothing, pick(IDC_OPTIONS_FONT_SIZE, L"14"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.fontSize, 280u); }},
        {"size not on the list kept", [](C_PersistedOptions& o) { o.fontSize = 210; }, [](HWND) {},
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.fontSize, 210u); }},
        {"stamps off", nothing, pick(IDC_OPTIONS_TIME_FORMAT, L""),
         [](const C_PersistedOptions& o) { EXPECT_STREQ(o.timeFormat.c_str(), L""); }},
        {"own picture as typed", nothing, type(IDC_OPTIONS_TIME_FORMAT, L" HH:mm  iii|"),
         [](const C_PersistedOptions& o) { EXPECT_STREQ(o.timeFormat.c_str(), L" HH:mm  iii|"); }},
        {"flags", [](C_PersistedOptions& o) { o.flags = FLAG_AUTO_UPDATE | 0x8000 | FLAG_LOGGING; },
         [](HWND w) {
             CheckDlgButton(w, IDC_OPTIONS_AUTO_UPDATE, BST_UNCHECKED);
             CheckDlgButton(w, IDC_OPTIONS_BOLD, BST_CHECKED);
         },
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flags, FLAG_BOLD | 0x8000 | FLAG_LOGGING); }},
        {"sending", nothing,
         [](HWND w) {
             Pick(w, IDC_OPTIONS_ENTER_SENDS, L"CR LF");
             SetDlgItemTextW(w, IDC_OPTIONS_LINE_DELAY, L"50 ms");
             CheckDlgButton(w, IDC_OPTIONS_LOCAL_ECHO, BST_CHECKED);
             CheckDlgButton(w, IDC_OPTIONS_ASK_PASTE, BST_UNCHECKED);
         },
         [](const C_PersistedOptions& o) {
             EXPECT_EQ(int(o.enterSends), int(EnterSends::CrLf));
             EXPECT_EQ(o.lineDelay, 50u);
             EXPECT_EQ(o.flags & (FLAG_LOCAL_ECHO | FLAG_PASTE_UNASKED), FLAG_LOCAL_ECHO | FLAG_PASTE_UNASKED);
         }},
        {"asking again", [](C_PersistedOptions& o) { o.flags |= FLAG_PASTE_UNASKED | FLAG_LOCAL_ECHO; },
         [](HWND w) {
             EXPECT_EQ(IsDlgButtonChecked(w, IDC_OPTIONS_ASK_PASTE), BST_UNCHECKED);
             EXPECT_EQ(IsDlgButtonChecked(w, IDC_OPTIONS_LOCAL_ECHO), BST_CHECKED);
             CheckDlgButton(w, IDC_OPTIONS_ASK_PASTE, BST_CHECKED);
             CheckDlgButton(w, IDC_OPTIONS_LOCAL_ECHO, BST_UNCHECKED);
         },
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flags & (FLAG_LOCAL_ECHO | FLAG_PASTE_UNASKED), 0u); }},
        {"text files in the code page", nothing, pick(IDC_OPTIONS_TEXT_FILES, L"ANSI code page"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flags & FLAG_TEXT_FILES_UTF8, 0u); }},
        {"text files in UTF-8", [](C_PersistedOptions& o) { o.flags &= ~FLAG_TEXT_FILES_UTF8; },
         pick(IDC_OPTIONS_TEXT_FILES, L"UTF-8"),
         [](const C_PersistedOptions& o) { EXPECT_EQ(o.flags & FLAG_TEXT_FILES_UTF8, FLAG_TEXT_FILES_UTF8); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost fresh;
        c.stored(fresh.options);
        ModalDialogScript acting([&](HWND w) {
            c.edit(w);
            Press(w, IDC_OK);
        });
        EXPECT_EQ(dialog.Run(Instance(), owner.Get(), fresh), 1);
        c.check(fresh.options);
    }
}

// The view sees the new font before the connection reopens; the buttons are rebuilt after the dialog is gone.
TEST_F(OptionsDialogTest, OkRecreatesFontsThenRefreshesThePortsThenRedrawsTheButtons) {
    EXPECT_EQ(Run([](HWND w) {
                  Pick(w, IDC_OPTIONS_FONT, L"DejaVu Sans Mono");
                  Press(w, IDC_OK);
              }),
              1);
    EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"fonts:DejaVu Sans Mono", L"refresh"}));
    EXPECT_EQ(owner.TakePosted(WM_PORTS_CHANGED), std::vector<WPARAM>{PORTS_CHANGED_REDRAW});
}

TEST_F(OptionsDialogTest, CancelChangesNothingButStillRedrawsTheButtons) {
    for (int closing : {IDC_CANCEL, IDCANCEL}) {
        EXPECT_EQ(Run([closing](HWND w) {
                      SetDlgItemTextW(w, IDC_OPTIONS_SEND_DELAY, L"500");
                      SetDlgItemTextW(w, IDC_OPTIONS_BAUD_RATE, L"9600");
                      Pick(w, IDC_OPTIONS_PARITY, L"Odd");
                      Pick(w, IDC_OPTIONS_FONT_SIZE, L"20");
                      SetDlgItemTextW(w, IDC_OPTIONS_TIME_FORMAT, L"");
                      CheckDlgButton(w, IDC_OPTIONS_AUTO_UPDATE, BST_UNCHECKED);
                      Pick(w, IDC_OPTIONS_TEXT_FILES, L"ANSI code page");
                      Press(w, closing);
                  }),
                  0);
        EXPECT_EQ(host.options.charSendDelay, 20u);
        EXPECT_EQ(host.options.baudRate, 115200u);
        EXPECT_EQ(host.options.parity, 0);
        EXPECT_EQ(host.options.fontSize, 200u);
        EXPECT_STREQ(host.options.timeFormat.c_str(), L"dd.MM.yyyy HH:mm:ss>");
        EXPECT_EQ(host.options.flags, C_PersistedOptions::kDefaultFlags);
        EXPECT_TRUE(host.calls.empty());
        EXPECT_EQ(owner.TakePosted(WM_PORTS_CHANGED), std::vector<WPARAM>{PORTS_CHANGED_REDRAW});
    }
}

TEST(FontListTest, FixedPitchFacesOnceEachSortedWithoutVerticalVariants) {
    std::vector<std::wstring> names;
    ASSERT_TRUE(FontList::ListFixedPitchFonts(names));
    // The fonts this project installs into the test host (Debian's DejaVu and Liberation packages).
    EXPECT_NE(std::find(names.begin(), names.end(), L"DejaVu Sans Mono"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"Liberation Mono"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), L"DejaVu Sans"), names.end()); // proportional

    std::vector<std::wstring> raw = {L"Liberation Mono", L"@MS Gothic",  L"",         L"consolas",
                                     L"Liberation Mono", L"Courier New", L"Consolas", L"Courier New"};
    FontList::SortUnique(raw);
    EXPECT_EQ(raw, (std::vector<std::wstring>{L"consolas", L"Courier New", L"Liberation Mono"}));
}

} // namespace
