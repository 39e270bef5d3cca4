#pragma once
// A serial line's settings: what the user chose in Options or for one port, what a serial open writes to the
// device and what the Options button describes. A port may have settings of its own, kept in the settings under
// "Ports\<port>" with the main key's value names; a port without them uses the Options values.
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"

#include <windows.h>

#include <cstdint>

// Stored as these numbers (FlowControl).
enum FlowControl : uint8_t {
    FLOW_NONE = 0,
    FLOW_RTS_CTS = 1,
    FLOW_DSR_DTR = 2,
    FLOW_XON_XOFF = 3,
};

// The modem output lines, as bits (the per-port Dtr/Rts values and ResetPulse).
enum ModemLine : uint8_t {
    LINE_DTR = 0x1,
    LINE_RTS = 0x2,
};
constexpr uint8_t kBothModemLines = LINE_DTR | LINE_RTS;

// The first three members keep their places: callers fill them positionally.
struct SerialLineSettings {
    DWORD baudRate = 115200;
    BYTE parity = NOPARITY;     // the system's codes: 0 none, 1 odd, 2 even, 3 mark, 4 space
    BYTE stopBits = ONESTOPBIT; // 0 one, 1 one and a half, 2 two
    BYTE dataBits = 8;          // 5 to 8
    uint8_t flowControl = FLOW_NONE;
    // The lines raised at opening; a line under handshake control follows the driver instead.
    uint8_t linesAtOpen = kBothModemLines;
    // The lines a reset pulse drops.
    uint8_t pulseLines = LINE_DTR;
};

// The line a flow control leaves to the driver's handshake (0 for none): the menu's check item for it means
// nothing while that flow control is in force.
uint8_t HandshakeLines(uint8_t flowControl);

namespace PortSettings {

constexpr const wchar_t* kSection = L"Ports";

// The section holding a port's values: "Ports\" and the port's key (a board's identity, its device path, or
// the target typed for it) with a leading "\\.\" left out and any other backslash as '/', since a registry
// key's name cannot hold one: "\\.\COM5" gives "Ports\COM5", "USB\VID_0403&PID_6001\A50285BI" gives
// "Ports\USB/VID_0403&PID_6001/A50285BI". False for an empty key.
bool SectionOf(const wchar_t* portKey, C_String& section);

// Puts the port's own values over line, which holds the Options values on entry: the line values when the port
// has its own (any of them stored), and the DTR, RTS and reset-pulse choices when stored. True when the port
// has line values of its own.
bool Load(const C_SettingsStore& store, const wchar_t* portKey, SerialLineSettings& line);
// Baud rate, data bits, parity, stop bits and flow control become the port's own.
bool SaveLine(C_SettingsStore& store, const wchar_t* portKey, const SerialLineSettings& line);
// The port uses the Options values again; its DTR, RTS and reset-pulse choices stay.
bool ForgetLine(C_SettingsStore& store, const wchar_t* portKey);
// The state at the next opening of the given lines (bits of ModemLine): raised when their bit is set in raised.
bool SaveLinesAtOpen(C_SettingsStore& store, const wchar_t* portKey, uint8_t lines, uint8_t raised);
// The lines a reset pulse drops.
bool SavePulseLines(C_SettingsStore& store, const wchar_t* portKey, uint8_t pulseLines);

// The colour a port's lines are headed with where several ports' lines are shown together, 0x00BBGGRR (a
// COLORREF). False, with rgb untouched, when none is stored or the stored one is no colour.
constexpr const wchar_t* kColourValue = L"Colour";
bool LoadColour(const C_SettingsStore& store, const wchar_t* portKey, uint32_t& rgb);
bool SaveColour(C_SettingsStore& store, const wchar_t* portKey, uint32_t rgb);

// Whether the port has any of its own values (line, DTR, RTS, reset pulse, colour) stored.
bool HasOwnValues(const C_SettingsStore& store, const wchar_t* portKey);
// Copies the port's own values (line, DTR, RTS, reset pulse, colour) that fromKey has to toKey, as stored;
// copied says whether there was any. False when a write failed.
bool CopyOwnValues(C_SettingsStore& store, const wchar_t* fromKey, const wchar_t* toKey, bool& copied);

} // namespace PortSettings
