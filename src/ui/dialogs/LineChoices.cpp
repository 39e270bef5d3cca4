#include "ui/dialogs/LineChoices.h"

#include "foundation/settings/LineSettings.h"
#include "ui/dialogs/OptionsDialog.h"
#include "ui/framework/ResourceIds.h"

namespace LineChoices {
namespace {

constexpr uint32_t kEditTextLimit = C_OptionsDialog::kEditTextLimit;
constexpr const wchar_t* kNumberFormat = L"%u";

struct NumberItem {
    const wchar_t* text;
    uint32_t value;
};

constexpr NumberItem kBaudRates[] = {{L"9600", 9600},     {L"19200", 19200},   {L"38400", 38400},
                                     {L"57600", 57600},   {L"115200", 115200}, {L"230400", 230400},
                                     {L"460800", 460800}, {L"921600", 921600}};
constexpr NumberItem kDataBits[] = {{L"5", 5}, {L"6", 6}, {L"7", 7}, {L"8", 8}};

struct ChoiceItem {
    UINT text;
    uint32_t value;
    UINT icon;
};

// Values as the serial line takes them: parity 0 none, 1 odd, 2 even; stop bits 0 one, 1 one and a half, 2 two.
constexpr ChoiceItem kParities[] = {
    {IDS_PARITY_NONE, 0, IDI_PARITY_NONE}, {IDS_PARITY_EVEN, 2, IDI_PARITY_EVEN}, {IDS_PARITY_ODD, 1, IDI_PARITY_ODD}};
constexpr ChoiceItem kStopBits[] = {{IDS_STOP_BITS_1, 0, IDI_STOP_BITS_ONE},
                                    {IDS_STOP_BITS_1_5, 1, IDI_STOP_BITS_ONE_HALF},
                                    {IDS_STOP_BITS_2, 2, IDI_STOP_BITS_TWO}};

// The handshakes are named as every data sheet names them, in any language.
constexpr NumberItem kFlowControls[] = {
    {L"RTS/CTS", FLOW_RTS_CTS}, {L"DSR/DTR", FLOW_DSR_DTR}, {L"XON/XOFF", FLOW_XON_XOFF}};
constexpr NumberItem kPulseLines[] = {{L"DTR", LINE_DTR}, {L"RTS", LINE_RTS}};

template <size_t N> void AddNumbers(C_ComboBox& combo, const NumberItem (&items)[N], UINT icon) {
    for (const NumberItem& item : items)
        combo.AddItem(item.text, item.value, icon);
}

template <size_t N> void AddChoices(C_ComboBox& combo, C_StringTable& strings, const ChoiceItem (&items)[N]) {
    for (const ChoiceItem& item : items)
        combo.AddItem(strings, item.text, item.value, item.icon);
}

} // namespace

void FillBaudRates(C_ComboBox& combo, uint32_t baudRate) {
    AddNumbers(combo, kBaudRates, IDI_ITEM_RATE);
    ShowBaudRate(combo, baudRate);
}

void ShowBaudRate(C_ComboBox& combo, uint32_t baudRate) {
    C_String text;
    text.Format(kNumberFormat, baudRate);
    combo.SetEditText(text.c_str());
}

bool ReadBaudRate(const C_ComboBox& combo, uint32_t& baudRate) {
    C_String text;
    return combo.GetEditText(text, kEditTextLimit) && C_OptionsDialog::ReadLeadingNumber(text.c_str(), baudRate);
}

void FillParities(C_ComboBox& combo, C_StringTable& strings, uint8_t parity) {
    AddChoices(combo, strings, kParities);
    ShowValue(combo, parity);
}

void FillStopBits(C_ComboBox& combo, C_StringTable& strings, uint8_t stopBits) {
    AddChoices(combo, strings, kStopBits);
    ShowValue(combo, stopBits);
}

void FillDataBits(C_ComboBox& combo, uint8_t dataBits) {
    AddNumbers(combo, kDataBits, 0);
    ShowValue(combo, dataBits);
}

void FillFlowControls(C_ComboBox& combo, C_StringTable& strings, uint8_t flowControl) {
    combo.AddItem(strings, IDS_FLOW_NONE, FLOW_NONE, 0);
    AddNumbers(combo, kFlowControls, 0);
    ShowValue(combo, flowControl);
}

void FillPulseLines(C_ComboBox& combo, C_StringTable& strings, uint8_t lines) {
    AddNumbers(combo, kPulseLines, 0);
    combo.AddItem(strings, IDS_PULSE_BOTH, kBothModemLines, 0);
    ShowValue(combo, lines);
}

void ShowValue(C_ComboBox& combo, uint32_t value) {
    combo.Select(combo.FindValue(value));
}

void ReadSelected(const C_ComboBox& combo, uint8_t& value) {
    uint32_t selected = 0;
    if (combo.GetSelectedValue(selected))
        value = uint8_t(selected);
}

} // namespace LineChoices
