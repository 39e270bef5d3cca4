#include "ui/view/TerminalKeys.h"

#include <cwchar>

namespace TerminalKeys {
namespace {

constexpr wchar_t kEnter = 13;
constexpr wchar_t kCtrlC = 3;
constexpr wchar_t kCtrlF = 6;
constexpr wchar_t kCtrlH = 8;
constexpr wchar_t kCtrlV = 22;
constexpr wchar_t kCtrlO = 15;
constexpr wchar_t kCtrlS = 19;
constexpr wchar_t kEscape = 0x1B;
constexpr UINT kSendBarKey = 'S';
constexpr UINT kSendFileKey = 'O';

struct SequenceKey {
    UINT key;
    const wchar_t* text;
};

// Page, Home and End keys and the function keys, as the usual terminal emulations send them.
constexpr SequenceKey kSequences[] = {
    {VK_PRIOR, L"\x1b[5~"}, {VK_NEXT, L"\x1b[6~"}, {VK_END, L"\x1b[4~"},  {VK_HOME, L"\x1b[1~"}, {VK_F1, L"\x1bOP"},
    {VK_F2, L"\x1bOQ"},     {VK_F4, L"\x1bOS"},    {VK_F5, L"\x1b[15~"},  {VK_F6, L"\x1b[17~"},  {VK_F7, L"\x1b[18~"},
    {VK_F8, L"\x1b[19~"},   {VK_F9, L"\x1b[20~"},  {VK_F10, L"\x1b[21~"}, {VK_F11, L"\x1b[23~"}, {VK_F12, L"\x1b[24~"},
};

struct ArrowKey {
    UINT key;
    wchar_t final;
};
constexpr ArrowKey kArrows[] = {{VK_LEFT, L'D'}, {VK_UP, L'A'}, {VK_RIGHT, L'C'}, {VK_DOWN, L'B'}};

Result Make(Action action, const wchar_t* text = L"") {
    Result result;
    result.action = action;
    wcsncpy(result.text, text, sizeof(result.text) / sizeof(result.text[0]) - 1);
    return result;
}

} // namespace

Result ForCharacter(wchar_t character, uint32_t modifiers, const wchar_t* enter) {
    const wchar_t text[2] = {character, 0};
    bool control = (modifiers & MODIFIER_CONTROL) != 0;
    bool alt = (modifiers & MODIFIER_ALT) != 0;
    bool shift = (modifiers & MODIFIER_SHIFT) != 0;
    if (control == alt) // neither, or AltGr
        return character == kEnter ? Make(Action::CopyOrSend, enter ? enter : text) : Make(Action::Send, text);
    if (alt)
        return Make(Action::Nothing);
    // The key went to the send bar or to Send File already; its control character must not reach the device.
    if (shift && (character == kCtrlS || character == kCtrlO))
        return Make(Action::Nothing);
    switch (character) {
    case kCtrlV:
        return Make(Action::PasteOrSend, text);
    case kCtrlF:
        return Make(Action::ToggleSearchBar);
    case kCtrlC:
        return Make((modifiers & MODIFIER_BREAK) ? Action::Nothing : Action::CopyOrSend, text);
    case kCtrlH:
        return shift ? Make(Action::ToggleHexView) : Make(Action::Send, text);
    default:
        return Make(Action::Send, text);
    }
}

Result ForKey(UINT virtualKey, uint32_t modifiers, CursorKeyMode mode, KeyMessage message) {
    if (message == KeyMessage::SystemKeyDown && virtualKey != VK_F10 && virtualKey != VK_F11)
        return Make(Action::Default);
    if (virtualKey == VK_ESCAPE)
        return Make(Action::Nothing); // WM_CHAR sends it
    if (virtualKey == VK_F3)
        return Make(Action::ToggleSearchBar);
    const uint32_t held = modifiers & (MODIFIER_CONTROL | MODIFIER_ALT | MODIFIER_SHIFT);
    if (held == (MODIFIER_CONTROL | MODIFIER_SHIFT) && virtualKey == kSendBarKey)
        return Make(Action::ToggleSendBar);
    if (held == (MODIFIER_CONTROL | MODIFIER_SHIFT) && virtualKey == kSendFileKey)
        return Make(Action::SendFile);
    if (virtualKey == VK_CANCEL)
        return Make(Action::SendBreak);
    if (virtualKey == VK_INSERT)
        return Make((modifiers & MODIFIER_SHIFT) ? Action::Paste : Action::Default);
    for (const SequenceKey& entry : kSequences)
        if (entry.key == virtualKey)
            return Make(Action::Send, entry.text);
    for (const ArrowKey& entry : kArrows)
        if (entry.key == virtualKey) {
            const wchar_t text[] = {kEscape, mode == CursorKeyMode::Application ? L'O' : L'[', entry.final, 0};
            return Make(Action::Send, text);
        }
    return Make(Action::Default);
}

uint32_t HeldModifiers() {
    uint32_t modifiers = MODIFIER_NONE;
    if (GetKeyState(VK_CONTROL) < 0)
        modifiers |= MODIFIER_CONTROL;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= MODIFIER_ALT;
    if (GetKeyState(VK_SHIFT) < 0)
        modifiers |= MODIFIER_SHIFT;
    if (GetKeyState(VK_CANCEL) < 0)
        modifiers |= MODIFIER_BREAK;
    return modifiers;
}

} // namespace TerminalKeys
