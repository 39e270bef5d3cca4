#include "ui/dialogs/TagDialog.h"

#include "connection/manager/ConnectionWindow.h"
#include "foundation/settings/Settings.h"
#include "connection/discovery/Tags.h"
#include "ui/framework/Language.h"
#include "ui/framework/ResourceIds.h"

#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const wchar_t* kFirstKey = L"\\\\.\\COM3";
constexpr const wchar_t* kSecondKey = L"\\\\.\\COM4";

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, id, text, 300);
    return text;
}

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class TagDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Language::SetInterfaceLanguage(Language::kEnglishUk);
        ASSERT_EQ(settings.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, key.Path()), 1);
        List({kFirstKey, kSecondKey});
        ports.First()->tag.Assign(L"Old");
    }

    // Rebuilds the list as a refresh does, one entry per port key.
    void List(std::initializer_list<const wchar_t*> keys) {
        C_WriteLock hold(ports);
        ports.BeginRebuild();
        for (const wchar_t* target : keys) {
            PortEntry* entry = NewCommandLineEntry(target, L"");
            entry->name.Assign(target + 4);
            ports.Append(entry);
        }
    }

    std::wstring StoredTag(const wchar_t* portKey) {
        C_String tag;
        if (!settings.ReadString(portKey, tag, nullptr, Tags::kSection))
            return L"<missing>";
        return tag.c_str();
    }

    std::wstring ListedTag(uint32_t index) {
        C_ReadLock hold(ports);
        PortEntry* entry = ports.First();
        while (entry && index--)
            entry = ports.Next(entry);
        return entry ? entry->tag.c_str() : L"<gone>";
    }

    TestRegistryKey key;
    C_Settings settings;
    C_PortList ports;
    C_TagDialog dialog;
    OwnerWindow owner;
};

TEST_F(TagDialogTest, OkStoresTheTagAndShowsItOnTheButton) {
    ModalDialogScript acting([](HWND w) {
        EXPECT_EQ(TextOf(w, IDC_TAG_TEXT), L"Old");
        EXPECT_EQ(TextOf(w, IDC_TAG_LABEL), L"Tag:");
        SetDlgItemTextW(w, IDC_TAG_TEXT, L"Lab");
        Press(w, IDC_OK);
    });
    EXPECT_TRUE(dialog.EditTag(Instance(), owner.Get(), ports, settings, 0));
    EXPECT_EQ(StoredTag(kFirstKey), L"Lab");
    EXPECT_EQ(ListedTag(0), L"Lab");
    EXPECT_EQ(ListedTag(1), L"");
    EXPECT_EQ(owner.TakePosted(WM_PORTS_CHANGED), std::vector<WPARAM>{PORTS_CHANGED_REDRAW});
}

// The click that opened the dialog took the port button's pressed look: the buttons are rebuilt on the way
// out whatever the answer, and on Cancel they show what they showed before.
TEST_F(TagDialogTest, CancelStoresNothingAndTheButtonsAreRebuiltAsTheyWere) {
    for (int closing : {IDC_CANCEL, IDCANCEL}) {
        ModalDialogScript acting([closing](HWND w) {
            SetDlgItemTextW(w, IDC_TAG_TEXT, L"Lab");
            Press(w, closing);
        });
        EXPECT_FALSE(dialog.EditTag(Instance(), owner.Get(), ports, settings, 0));
        EXPECT_EQ(StoredTag(kFirstKey), L"<missing>");
        EXPECT_EQ(ListedTag(0), L"Old");
        EXPECT_EQ(owner.TakePosted(WM_PORTS_CHANGED), std::vector<WPARAM>{PORTS_CHANGED_REDRAW});
    }
}

// A refresh while the dialog is open: the tag is stored for the port it was meant for, and an entry that now
// stands at the old index (another port) keeps its own.
TEST_F(TagDialogTest, TagOfAPortThatVanishedMeanwhileIsStillStored) {
    ModalDialogScript acting([this](HWND w) {
        List({kSecondKey});
        SetDlgItemTextW(w, IDC_TAG_TEXT, L"Bench");
        Press(w, IDC_OK);
    });
    EXPECT_TRUE(dialog.EditTag(Instance(), owner.Get(), ports, settings, 0));
    EXPECT_EQ(StoredTag(kFirstKey), L"Bench");
    EXPECT_EQ(ListedTag(0), L"");
}

TEST_F(TagDialogTest, NothingOpensBeyondTheListOrWithoutAKey) {
    {
        C_WriteLock hold(ports);
        ports.First()->key.Empty();
    }
    ModalDialogScript acting([](HWND w) { Press(w, IDC_CANCEL); });
    EXPECT_FALSE(dialog.EditTag(Instance(), owner.Get(), ports, settings, 0));
    EXPECT_FALSE(dialog.EditTag(Instance(), owner.Get(), ports, settings, 2));
    EXPECT_FALSE(acting.Ran());
}

} // namespace
