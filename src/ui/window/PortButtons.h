#pragma once
// What a port button of the main window's toolbar shows and does, decided without a window: its image by the
// port's kind, its text, its look (pressed while open, greyed while the probe cannot open it) and what a click
// on it means.
#include "connection/discovery/PortList.h"

#include <cstdint>

namespace PortButtons {

// The toolbar's first buttons: Options, Search, Send, Hex, Plot, separator, Clear, separator, Save, Log,
// separator. Port buttons follow, entry i of the port list at toolbar index kFixedButtons + i.
constexpr int kFixedButtons = 11;
// The toolbar's images: program buttons first, then the generic port, the vendors' and the endpoint kinds'.
constexpr int kGenericPortImage = 5;

// Kinds 0-11 map to images 6-17, kind 13 (UDP) to 18, kind 14 (Cypress) to 19, anything else to the generic
// port image.
int ImageOfKind(uint32_t kind);

enum class Look { Normal, Pressed, Greyed };
// Pressed: the button of the current port (exact name) while its connection is open. Greyed: another port the
// last probe could not open. Normal otherwise.
Look LookOf(const wchar_t* name, bool present, const wchar_t* currentPort, bool open);

enum class Click { Open, Close };
// A click on the open port's button closes it; any other click opens that port (again).
Click ClickOn(const wchar_t* name, const wchar_t* currentPort, bool open);

} // namespace PortButtons
