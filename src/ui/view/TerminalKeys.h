#pragma once
// What a key pressed in the terminal view does: the text it sends to the device (characters as themselves,
// cursor, page and function keys as escape sequences), or one of the view's own actions. Window-free, so the
// whole table is one lookup the view makes per key message.
#include <windows.h>

#include <cstdint>

namespace TerminalKeys {

enum Modifier : uint32_t {
    MODIFIER_NONE = 0,
    MODIFIER_CONTROL = 0x1,
    MODIFIER_ALT = 0x2,
    MODIFIER_SHIFT = 0x4,
    MODIFIER_BREAK = 0x8, // the Break key is down: Ctrl+Break also types Ctrl+C, which is not sent then
};

enum class Action {
    Default,         // the window's default handling
    Nothing,         // handled, nothing happens
    Send,            // send the text
    CopyOrSend,      // copy the selection; without one, send the text
    PasteOrSend,     // send the clipboard's text; without one, send the text
    Paste,           // send the clipboard's text
    ToggleSearchBar, // the host opens or closes the search bar
    ToggleSendBar,   // the host opens or closes the send bar
    SendFile,        // the host asks for a file to send
    SendBreak,       // a break on the line (Ctrl+Break)
    ToggleHexView,   // the host switches between the terminal and the hex view
};

struct Result {
    Action action = Action::Default;
    wchar_t text[8] = {}; // what Send sends, zero-terminated
};

// Cursor keys send ESC O x in the application mode that the device can switch on (ESC [ ? 1 h), ESC [ x
// otherwise.
enum class CursorKeyMode { Normal, Application };

// WM_CHAR. modifiers: the Ctrl and Alt keys held (both together are AltGr, which types characters); enter:
// what Enter sends ("\r", "\n" or "\r\n"). Ctrl+Shift+H switches to the hex view and back: it arrives as the
// character Ctrl+H, which Ctrl+H alone still sends.
Result ForCharacter(wchar_t character, uint32_t modifiers, const wchar_t* enter = L"\r");

// WM_KEYDOWN, and WM_SYSKEYDOWN, of which only F10 and F11 are the view's. Ctrl+Shift+S and Ctrl+Shift+O are
// the send bar's and Send File's.
enum class KeyMessage { KeyDown, SystemKeyDown };
Result ForKey(UINT virtualKey, uint32_t modifiers, CursorKeyMode mode, KeyMessage message);

// The modifiers held now, as the thread's keyboard state says.
uint32_t HeldModifiers();

} // namespace TerminalKeys
