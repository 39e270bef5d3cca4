#pragma once
// C_WebLink: turns a static control into a link to a web address. It shows its text underlined in the link
// colour with a hand cursor, and opens the address with the system's default handler on a click, or on Enter
// or Space while it has the keyboard focus.
#include "platform/window/ControlSubclass.h"
#include "platform/system/Handles.h"

#include <windows.h>

class C_WebLink final : private C_ControlSubclass {
public:
    static constexpr size_t kMaxText = 260;
    // How an address is opened; the shell's "open" verb in the program, a recorder in tests.
    using Opener = void (*)(const wchar_t* address);
    static void OpenWithShell(const wchar_t* address);

    C_WebLink() = default;
    ~C_WebLink() { Detach(); }

    // hand may be null (the system's hand cursor is used then). Texts longer than kMaxText are refused.
    bool Attach(HWND staticControl, const wchar_t* text, const wchar_t* address, HCURSOR hand,
                Opener opener = OpenWithShell);
    void Detach();
    HWND Window() const { return Control(); }
    // The text's width in the control's font, in pixels.
    int TextWidth();

private:
    LRESULT OnControlMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Paint();
    void Open() const;
    HFONT LinkFont();

    wchar_t m_address[kMaxText + 1] = {};
    HCURSOR m_hand = nullptr;
    Opener m_opener = OpenWithShell;
    C_Font m_font; // the control's font, underlined
    HFONT m_fontMadeFrom = nullptr;
};
