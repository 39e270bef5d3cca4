// A port's line settings dialog in the test process, filled in as a user would, and what it leaves in the
// settings.
#include "ui/dialogs/PortLineDialog.h"

#include "foundation/settings/Settings.h"
#include "ui/framework/Language.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr const wchar_t* kPortKey = L"\\\\.\\COM9";

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

std::wstring SelectedText(HWND dialog, int id) {
    const LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    wchar_t text[300] = {};
    if (index >= 0)
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
    return index >= 0 ? text : L"<none>";
}

void Pick(HWND dialog, int id, const wchar_t* text) {
    const LRESULT index =
        SendDlgItemMessageW(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text));
    ASSERT_GE(index, 0) << "no item " << std::string(text, text + wcslen(text));
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, WPARAM(index), 0);
}

// As a click does: the check flips and the dialog hears of it.
void Click(HWND dialog, int id) {
    CheckDlgButton(dialog, id, IsDlgButtonChecked(dialog, id) ? BST_UNCHECKED : BST_CHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

class PortLineDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Language::SetInterfaceLanguage(Language::kEnglishUk);
        ASSERT_EQ(settings.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1);
        options.baudRate = 115200;
        options.flowControl = FLOW_NONE;
    }

    bool Edit(const std::function<void(HWND)>& script) {
        ModalDialogScript acting(script);
        const bool stored =
            dialog.Edit(GetModuleHandleW(nullptr), owner.Get(), settings, options, kPortKey, L"Bench - COM9");
        EXPECT_TRUE(acting.Ran());
        return stored;
    }
    // The settings the port opens with now.
    SerialLineSettings Opening(bool* own = nullptr) {
        SerialLineSettings line = options.Line();
        const bool hasOwn = PortSettings::Load(settings, kPortKey, line);
        if (own)
            *own = hasOwn;
        return line;
    }

    TestRegistryKey key;
    C_Settings settings;
    C_PersistedOptions options;
    C_PortLineDialog dialog;
    OwnerWindow owner;
};

TEST_F(PortLineDialogTest, APortWithoutItsOwnShowsTheOptionsGreyedAndBecomesItsOwnWhereTheUserChangesIt) {
    EXPECT_TRUE(Edit([](HWND w) {
        wchar_t caption[100] = {};
        GetWindowTextW(w, caption, 100);
        EXPECT_STREQ(caption, L"Line settings of Bench - COM9");
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_PORT_LINE_DEFAULTS), BST_CHECKED);
        EXPECT_EQ(TextOf(w, IDC_PORT_LINE_BAUD_RATE), L"115200");
        EXPECT_EQ(SelectedText(w, IDC_PORT_LINE_FLOW_CONTROL), L"None");
        EXPECT_FALSE(Enabled(w, IDC_PORT_LINE_BAUD_RATE));
        EXPECT_TRUE(Enabled(w, IDC_PORT_LINE_DTR)) << "the modem lines are the port's in any case";
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_PORT_LINE_RTS), BST_CHECKED);
        EXPECT_EQ(SelectedText(w, IDC_PORT_LINE_PULSE), L"DTR");

        Click(w, IDC_PORT_LINE_DEFAULTS);
        EXPECT_TRUE(Enabled(w, IDC_PORT_LINE_BAUD_RATE));
        SetDlgItemTextW(w, IDC_PORT_LINE_BAUD_RATE, L"9600");
        Pick(w, IDC_PORT_LINE_DATA_BITS, L"7");
        Pick(w, IDC_PORT_LINE_PARITY, L"Even");
        Pick(w, IDC_PORT_LINE_FLOW_CONTROL, L"RTS/CTS");
        Click(w, IDC_PORT_LINE_DTR);
        Pick(w, IDC_PORT_LINE_PULSE, L"DTR and RTS");
        Press(w, IDC_OK);
    }));
    bool own = false;
    const SerialLineSettings line = Opening(&own);
    EXPECT_TRUE(own);
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_EQ(line.dataBits, 7);
    EXPECT_EQ(line.parity, EVENPARITY);
    EXPECT_EQ(line.flowControl, FLOW_RTS_CTS);
    EXPECT_EQ(line.linesAtOpen, LINE_RTS);
    EXPECT_EQ(line.pulseLines, kBothModemLines);
}

TEST_F(PortLineDialogTest, UsingTheDefaultsAgainShowsAndFollowsTheOptionsAndKeepsTheModemChoices) {
    SerialLineSettings own{9600, ODDPARITY, ONESTOPBIT};
    own.flowControl = FLOW_XON_XOFF;
    ASSERT_TRUE(PortSettings::SaveLine(settings, kPortKey, own));
    ASSERT_TRUE(PortSettings::SaveLinesAtOpen(settings, kPortKey, kBothModemLines, LINE_DTR));
    EXPECT_TRUE(Edit([](HWND w) {
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_PORT_LINE_DEFAULTS), BST_UNCHECKED);
        EXPECT_EQ(TextOf(w, IDC_PORT_LINE_BAUD_RATE), L"9600");
        EXPECT_EQ(SelectedText(w, IDC_PORT_LINE_FLOW_CONTROL), L"XON/XOFF");
        EXPECT_EQ(IsDlgButtonChecked(w, IDC_PORT_LINE_RTS), BST_UNCHECKED);
        Click(w, IDC_PORT_LINE_DEFAULTS);
        EXPECT_EQ(TextOf(w, IDC_PORT_LINE_BAUD_RATE), L"115200");
        EXPECT_EQ(SelectedText(w, IDC_PORT_LINE_FLOW_CONTROL), L"None");
        EXPECT_FALSE(Enabled(w, IDC_PORT_LINE_PARITY));
        Press(w, IDC_OK);
    }));
    bool hasOwn = true;
    options.baudRate = 57600; // a later change in Options reaches the port
    const SerialLineSettings line = Opening(&hasOwn);
    EXPECT_FALSE(hasOwn);
    EXPECT_EQ(line.baudRate, 57600u);
    EXPECT_EQ(line.flowControl, FLOW_NONE);
    EXPECT_EQ(line.linesAtOpen, LINE_DTR) << "RTS stays off at opening";
}

} // namespace
