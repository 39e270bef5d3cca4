#pragma once
// The serial line's choices as the Options dialog and a port's line settings dialog offer them: the same lists,
// filled and read the same way, so both dialogs always agree.
#include "ui/framework/ComboBox.h"
#include "ui/framework/StringTable.h"

#include <cstdint>

namespace LineChoices {

// Any rate is shown, also one the list lacks: adapters take rates such as 250000.
void FillBaudRates(C_ComboBox& combo, uint32_t baudRate);
// The number a typed rate starts with; false, leaving baudRate alone, when the text holds none.
bool ReadBaudRate(const C_ComboBox& combo, uint32_t& baudRate);

// A value the list lacks selects nothing; reading nothing selected leaves the value alone, so a stored value
// the dialogs do not offer survives an OK.
void FillParities(C_ComboBox& combo, C_StringTable& strings, uint8_t parity);
void FillStopBits(C_ComboBox& combo, C_StringTable& strings, uint8_t stopBits);
void FillDataBits(C_ComboBox& combo, uint8_t dataBits);
void FillFlowControls(C_ComboBox& combo, C_StringTable& strings, uint8_t flowControl);
// The lines a reset pulse drops: DTR, RTS, or both.
void FillPulseLines(C_ComboBox& combo, C_StringTable& strings, uint8_t lines);
void ReadSelected(const C_ComboBox& combo, uint8_t& value);

// Shows a value again in a filled list (the Options values, when a port goes back to them).
void ShowBaudRate(C_ComboBox& combo, uint32_t baudRate);
void ShowValue(C_ComboBox& combo, uint32_t value);

} // namespace LineChoices
