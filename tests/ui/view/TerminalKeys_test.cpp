// Keys pressed in a real view, as the window messages the system makes of them, and exactly what reaches the
// send sink.
#include "TerminalViewFixture.h"

namespace {

enum Held : uint32_t { NONE = 0, CTRL = 1, ALT = 2, SHIFT = 4, BREAK = 8 };

struct KeyCase {
    UINT message;
    WPARAM key;
    uint32_t held;
    const wchar_t* sent;
    int searchToggles;
};

void Press(HWND view, const KeyCase& key) {
    HeldKeys held({BYTE(key.held & CTRL ? VK_CONTROL : 0), BYTE(key.held & ALT ? VK_MENU : 0),
                   BYTE(key.held & SHIFT ? VK_SHIFT : 0), BYTE(key.held & BREAK ? VK_CANCEL : 0)});
    SendMessageW(view, key.message, key.key, 0);
}

void SetClipboard(HWND owner, const wchar_t* text) {
    C_ClipboardOpen clipboard(owner);
    ASSERT_TRUE(clipboard);
    EmptyClipboard();
    if (!text)
        return;
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    C_GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    ASSERT_TRUE(memory);
    {
        C_GlobalLock data(memory.Get());
        ASSERT_NE(data.Data(), nullptr);
        memcpy(data.Data(), text, bytes);
    }
    if (SetClipboardData(CF_UNICODETEXT, memory.Get()))
        memory.Detach(); // the system's now
}

} // namespace

TEST_F(TerminalViewTest, EveryKeySendsExactlyItsText) {
    const KeyCase keys[] = {
        // Characters, alone or with AltGr, are sent as themselves; Alt alone sends nothing.
        {WM_CHAR, 'a', NONE, L"a", 0},
        {WM_CHAR, 0x00E9, NONE, L"\x00E9", 0},
        {WM_CHAR, 13, NONE, L"\r", 0},
        {WM_CHAR, 27, NONE, L"\x1b", 0},
        {WM_CHAR, 8, NONE, L"\b", 0},
        {WM_CHAR, 9, NONE, L"\t", 0},
        {WM_CHAR, '@', CTRL | ALT, L"@", 0},
        {WM_CHAR, 'x', ALT, L"", 0},
        // Control characters with Ctrl; Ctrl+C without a selection is one of them, Ctrl+F is the search bar's.
        {WM_CHAR, 3, CTRL, L"\x03", 0},
        {WM_CHAR, 1, CTRL, L"\x01", 0},
        {WM_CHAR, 26, CTRL, L"\x1a", 0},
        {WM_CHAR, 6, CTRL, L"", 1},
        // Page, Home and End keys and the function keys.
        {WM_KEYDOWN, VK_PRIOR, NONE, L"\x1b[5~", 0},
        {WM_KEYDOWN, VK_NEXT, NONE, L"\x1b[6~", 0},
        {WM_KEYDOWN, VK_END, NONE, L"\x1b[4~", 0},
        {WM_KEYDOWN, VK_HOME, NONE, L"\x1b[1~", 0},
        {WM_KEYDOWN, VK_F1, NONE, L"\x1bOP", 0},
        {WM_KEYDOWN, VK_F2, NONE, L"\x1bOQ", 0},
        {WM_KEYDOWN, VK_F3, NONE, L"", 1},
        {WM_KEYDOWN, VK_F4, NONE, L"\x1bOS", 0},
        {WM_KEYDOWN, VK_F5, NONE, L"\x1b[15~", 0},
        {WM_KEYDOWN, VK_F6, NONE, L"\x1b[17~", 0},
        {WM_KEYDOWN, VK_F7, NONE, L"\x1b[18~", 0},
        {WM_KEYDOWN, VK_F8, NONE, L"\x1b[19~", 0},
        {WM_KEYDOWN, VK_F9, NONE, L"\x1b[20~", 0},
        {WM_KEYDOWN, VK_F10, NONE, L"\x1b[21~", 0},
        {WM_KEYDOWN, VK_F11, NONE, L"\x1b[23~", 0},
        {WM_KEYDOWN, VK_F12, NONE, L"\x1b[24~", 0},
        // F10 arrives as a system key; of the system keys only F10 and F11 are the view's.
        {WM_SYSKEYDOWN, VK_F10, NONE, L"\x1b[21~", 0},
        {WM_SYSKEYDOWN, VK_F11, ALT, L"\x1b[23~", 0},
        {WM_SYSKEYDOWN, VK_F5, ALT, L"", 0},
        // Cursor keys in the normal mode.
        {WM_KEYDOWN, VK_LEFT, NONE, L"\x1b[D", 0},
        {WM_KEYDOWN, VK_UP, NONE, L"\x1b[A", 0},
        {WM_KEYDOWN, VK_RIGHT, NONE, L"\x1b[C", 0},
        {WM_KEYDOWN, VK_DOWN, NONE, L"\x1b[B", 0},
        // Keys whose characters come as WM_CHAR, or that do nothing.
        {WM_KEYDOWN, VK_ESCAPE, NONE, L"", 0},
        {WM_KEYDOWN, VK_RETURN, NONE, L"", 0},
        {WM_KEYDOWN, 'A', NONE, L"", 0},
        {WM_KEYDOWN, VK_INSERT, NONE, L"", 0},
    };
    for (const KeyCase& key : keys) {
        sink.sent.clear();
        host.searchToggles = 0;
        Press(view.GetWindow(), key);
        EXPECT_EQ(sink.sent, key.sent) << "message " << key.message << ", key " << key.key << ", held " << key.held;
        EXPECT_EQ(host.searchToggles, key.searchToggles) << "message " << key.message << ", key " << key.key;
    }

    // Ctrl+Shift+H (the character Ctrl+H with Shift held) switches to the hex view; Ctrl+H alone is a backspace.
    sink.sent.clear();
    Press(view.GetWindow(), {WM_CHAR, 8, CTRL | SHIFT, L"", 0});
    EXPECT_EQ(host.hexToggles, 1);
    Press(view.GetWindow(), {WM_CHAR, 8, CTRL, L"\b", 0});
    EXPECT_EQ(sink.sent, L"\b");
    EXPECT_EQ(host.hexToggles, 1);

    // The device switches the cursor keys to the application mode.
    Receive("\x1b[?1h");
    const KeyCase applicationKeys[] = {
        {WM_KEYDOWN, VK_LEFT, NONE, L"\x1bOD", 0},
        {WM_KEYDOWN, VK_UP, NONE, L"\x1bOA", 0},
        {WM_KEYDOWN, VK_RIGHT, NONE, L"\x1bOC", 0},
        {WM_KEYDOWN, VK_DOWN, SHIFT, L"\x1bOB", 0},
    };
    for (const KeyCase& key : applicationKeys) {
        sink.sent.clear();
        Press(view.GetWindow(), key);
        EXPECT_EQ(sink.sent, key.sent) << "key " << key.key;
    }
}

TEST_F(TerminalViewTest, PasteSendsTheClipboardText) {
    const KeyCase ctrlV = {WM_CHAR, 22, CTRL, nullptr, 0};
    const KeyCase shiftInsert = {WM_KEYDOWN, VK_INSERT, SHIFT, nullptr, 0};

    SetClipboard(parent, L"hello\r\nworld");
    Press(view.GetWindow(), ctrlV);
    Press(view.GetWindow(), shiftInsert);
    EXPECT_EQ(sink.sent, L"hello\r\nworldhello\r\nworld");

    sink.sent.clear();
    SetClipboard(parent, nullptr);
    Press(view.GetWindow(), ctrlV);
    EXPECT_EQ(sink.sent, L"\x16") << "without text Ctrl+V is its control character";
    sink.sent.clear();
    Press(view.GetWindow(), shiftInsert);
    EXPECT_EQ(sink.sent, L"");
}

TEST_F(TerminalViewTest, EnterWithASelectionCopiesIt) {
    Receive("status ok\r\n");
    view.Store().SetSelection(7, 9);
    Press(view.GetWindow(), {WM_CHAR, 13, NONE, nullptr, 0});
    EXPECT_EQ(sink.sent, L"");
    EXPECT_EQ(ClipboardText(), L"ok");
    Press(view.GetWindow(), {WM_CHAR, 13, NONE, nullptr, 0});
    EXPECT_EQ(sink.sent, L"\r") << "the selection went with the copy";
}

TEST_F(TerminalViewTest, EnterSendsTheChosenLineEndAndTheSendBarKeysReachOnlyTheHost) {
    for (const wchar_t* enter : {L"\r", L"\n", L"\r\n"}) {
        view.SetEnterText(enter);
        sink.sent.clear();
        Press(view.GetWindow(), {WM_CHAR, 13, NONE, nullptr, 0});
        EXPECT_EQ(sink.sent, enter);
        sink.sent.clear();
        Press(view.GetWindow(), {WM_CHAR, 13, CTRL, nullptr, 0});
        EXPECT_EQ(sink.sent, L"\r") << "Ctrl+M is the control character itself";
    }

    const KeyCase keys[] = {
        {WM_KEYDOWN, 'S', CTRL | SHIFT, L"", 0}, {WM_CHAR, 19, CTRL | SHIFT, L"", 0},
        {WM_KEYDOWN, 'O', CTRL | SHIFT, L"", 0}, {WM_CHAR, 15, CTRL | SHIFT, L"", 0},
        {WM_CHAR, 19, CTRL, L"\x13", 0},         {WM_KEYDOWN, 'S', CTRL, L"", 0},
    };
    sink.sent.clear();
    for (const KeyCase& key : keys) {
        sink.sent.clear();
        Press(view.GetWindow(), key);
        EXPECT_EQ(sink.sent, key.sent) << "message " << key.message << ", key " << key.key << ", held " << key.held;
    }
    EXPECT_EQ(host.sendBarToggles, 1) << "Ctrl+Shift+S";
    EXPECT_EQ(host.fileChoices, 1) << "Ctrl+Shift+O";
}

TEST_F(TerminalViewTest, CtrlBreakSendsABreakAndNotTheCtrlCItAlsoTypes) {
    // Ctrl+Break comes as the key VK_CANCEL, then as the character Ctrl+C while the key is still down.
    const KeyCase keys[] = {{WM_KEYDOWN, VK_CANCEL, CTRL | BREAK, L"", 0}, {WM_CHAR, 3, CTRL | BREAK, L"", 0}};
    for (const KeyCase& key : keys)
        Press(view.GetWindow(), key);
    EXPECT_EQ(sink.sent, L"");
    EXPECT_EQ(sink.breaks, 1);
}
