#pragma once
// Saving and restoring a window's position and show state in the registry, as the text
// "show command,left,top,right,bottom" of the normal (restored) rectangle in 96-DPI units, so a placement
// saved on one monitor setup reads back sensibly on another.
#include <windows.h>

#include "foundation/base/TextString.h"

namespace WindowPlacement {

enum Option : DWORD {
    OPTION_KEEP_SIZE = 0x01,       // use only the saved position
    OPTION_ALLOW_MINIMIZED = 0x02, // a saved minimised state comes back minimised
    OPTION_KEEP_POSITION = 0x08,   // use only the saved size
    OPTION_ALLOW_HIDDEN = 0x10,    // a saved hidden state comes back hidden
    OPTION_FORCE_HIDDEN = 0x20,
    OPTION_SAVE_HIDDEN_AS_SHOWN = 0x40, // save the show command of an invisible window as it is
    OPTION_FORCE_MINIMIZED = 0x80,      // restore minimised without activating
    OPTION_TEST_BOTTOM_RIGHT = 0x100,   // try the bottom-right corner on the monitors first
    OPTION_NO_MONITOR_TEST = 0x200,
};

constexpr DWORD kMaxValueBytes = 260;

struct Record {
    int showCommand;
    RECT normal;
};

// The stored text form; Parse accepts only a text that yields all five numbers.
bool Format(const Record& record, C_String& out);
bool Parse(const wchar_t* text, Record& record);

// The show command a saved one is restored with, after the option bits.
int RestoredShowCommand(int saved, DWORD options);
// The rectangle to restore, from the saved one and the window's current one, after the option bits. Any numbers
// a hand-edited value holds give a rectangle of no negative size whose sides do not overflow.
RECT RestoredRectangle(const RECT& saved, const RECT& current, DWORD options);
// The rectangle moved onto a monitor's work area, as little as it takes, and made smaller where it does not fit.
RECT MovedOntoWorkArea(const RECT& rect, const RECT& workArea);

bool Save(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD options);
// False, leaving the window as it is, when the value is missing, too long or malformed. A place that would leave
// the window's title bar on no monitor is moved onto the nearest one, so the window can always be reached.
bool Restore(HWND window, HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD options);

} // namespace WindowPlacement
