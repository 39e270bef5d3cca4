#pragma once
// What a port button of the main window's toolbar shows and does, decided without a window: its image by the
// port's kind, its look (pressed while its port is open in a tab, greyed while the probe cannot open it) and what
// a click on it means.
#include "connection/discovery/PortList.h"

#include <windows.h>

#include <cstdint>

namespace PortButtons {

// The port kinds' icons, in the order of their images (after the fixed buttons' icons): the generic port first.
extern const UINT kKindIcons[];
extern const int kKindIconCount;

// The image of a kind among kKindIcons: kinds 0-11 in order from 1, UDP and Cypress after them, anything else the
// generic port's 0.
int ImageOfKind(uint32_t kind);

// What the window knows of a port when it draws or clicks its button.
struct PortState {
    bool present; // the last probe could open it (or it was not probed yet)
    bool inTab;   // a tab shows it, open or not
    bool open;    // that tab's session has it open
    bool front;   // that tab is in front
};

enum class Look { Normal, Pressed, Greyed };
// Pressed: open in a tab. Greyed: not in any tab, and the last probe could not open it (a port a tab waits for
// is never greyed: the probe cannot open what another handle of ours may hold).
Look LookOf(const PortState& port);

enum class Click {
    OpenNewTab,   // no tab shows the port yet
    BringForward, // its tab comes to the front, and opens the port again when it is closed
    Close,        // the port of the tab in front is open: it closes, as it always did
};
Click ClickOn(const PortState& port);

} // namespace PortButtons
