#include "foundation/settings/LineSettings.h"

#include "foundation/settings/Options.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kDevicePathPrefix = L"\\\\.\\";
constexpr wchar_t kKeySeparator = L'\\';
constexpr wchar_t kKeySeparatorStandIn = L'/';
// No stored number can be this, so it tells a missing value from a stored one.
constexpr uint64_t kAbsent = UINT64_MAX;

constexpr const wchar_t* kLineValueNames[] = {SettingName::BaudRate, SettingName::DataBits, SettingName::Parity,
                                              SettingName::StopBits, SettingName::FlowControl};
// Everything a port keeps of its own as a number.
constexpr const wchar_t* kOwnNumberNames[] = {
    SettingName::BaudRate, SettingName::DataBits,       SettingName::Parity,
    SettingName::StopBits, SettingName::FlowControl,    SettingName::PortDtr,
    SettingName::PortRts,  SettingName::PortResetPulse, PortSettings::kColourValue};
constexpr uint64_t kLargestColour = 0xFFFFFF;

bool ReadStored(const C_SettingsStore& store, const wchar_t* name, const C_String& section, uint64_t& value) {
    value = store.ReadNumber(name, kAbsent, section.c_str());
    return value != kAbsent;
}

// A stored line value replaces the one given; the answer says whether there was one.
template <class Value>
bool Overlay(const C_SettingsStore& store, const wchar_t* name, const C_String& section, Value& target) {
    uint64_t value = 0;
    if (!ReadStored(store, name, section, value))
        return false;
    target = Value(value);
    return true;
}

void OverlayLine(const C_SettingsStore& store, const C_String& section, uint8_t line, uint8_t& lines) {
    uint64_t value = 0;
    if (!ReadStored(store, line == LINE_DTR ? SettingName::PortDtr : SettingName::PortRts, section, value))
        return;
    lines = value ? uint8_t(lines | line) : uint8_t(lines & ~line);
}

} // namespace

uint8_t HandshakeLines(uint8_t flowControl) {
    switch (flowControl) {
    case FLOW_RTS_CTS:
        return LINE_RTS;
    case FLOW_DSR_DTR:
        return LINE_DTR;
    default:
        return 0;
    }
}

bool PortSettings::SectionOf(const wchar_t* portKey, C_String& section) {
    section.Empty();
    if (!portKey || !*portKey)
        return false;
    const size_t prefix = wcslen(kDevicePathPrefix);
    if (wcsncmp(portKey, kDevicePathPrefix, prefix) == 0 && portKey[prefix])
        portKey += prefix;
    if (!section.Assign(kSection) || !section.AppendWithSeparator(portKey, L"\\"))
        return false;
    wchar_t* text = section.GetBuffer();
    for (uint32_t at = uint32_t(wcslen(kSection)) + 1; at < section.GetLength(); ++at)
        if (text[at] == kKeySeparator)
            text[at] = kKeySeparatorStandIn;
    return true;
}

bool PortSettings::Load(const C_SettingsStore& store, const wchar_t* portKey, SerialLineSettings& line) {
    C_String section;
    if (!SectionOf(portKey, section))
        return false;
    bool own = Overlay(store, SettingName::BaudRate, section, line.baudRate);
    own |= Overlay(store, SettingName::DataBits, section, line.dataBits);
    own |= Overlay(store, SettingName::Parity, section, line.parity);
    own |= Overlay(store, SettingName::StopBits, section, line.stopBits);
    own |= Overlay(store, SettingName::FlowControl, section, line.flowControl);
    OverlayLine(store, section, LINE_DTR, line.linesAtOpen);
    OverlayLine(store, section, LINE_RTS, line.linesAtOpen);
    Overlay(store, SettingName::PortResetPulse, section, line.pulseLines);
    return own;
}

bool PortSettings::SaveLine(C_SettingsStore& store, const wchar_t* portKey, const SerialLineSettings& line) {
    C_String section;
    if (!SectionOf(portKey, section))
        return false;
    bool ok = store.WriteNumber(SettingName::BaudRate, line.baudRate, section.c_str());
    ok &= store.WriteNumber(SettingName::DataBits, line.dataBits, section.c_str());
    ok &= store.WriteNumber(SettingName::Parity, line.parity, section.c_str());
    ok &= store.WriteNumber(SettingName::StopBits, line.stopBits, section.c_str());
    ok &= store.WriteNumber(SettingName::FlowControl, line.flowControl, section.c_str());
    return ok;
}

bool PortSettings::ForgetLine(C_SettingsStore& store, const wchar_t* portKey) {
    C_String section;
    if (!SectionOf(portKey, section))
        return false;
    bool ok = true;
    for (const wchar_t* name : kLineValueNames)
        ok &= store.DeleteValue(name, section.c_str());
    return ok;
}

bool PortSettings::SaveLinesAtOpen(C_SettingsStore& store, const wchar_t* portKey, uint8_t lines, uint8_t raised) {
    C_String section;
    if (!SectionOf(portKey, section))
        return false;
    bool ok = true;
    if (lines & LINE_DTR)
        ok &= store.WriteNumber(SettingName::PortDtr, (raised & LINE_DTR) ? 1 : 0, section.c_str());
    if (lines & LINE_RTS)
        ok &= store.WriteNumber(SettingName::PortRts, (raised & LINE_RTS) ? 1 : 0, section.c_str());
    return ok;
}

bool PortSettings::SavePulseLines(C_SettingsStore& store, const wchar_t* portKey, uint8_t pulseLines) {
    C_String section;
    return SectionOf(portKey, section) &&
           store.WriteNumber(SettingName::PortResetPulse, pulseLines & kBothModemLines, section.c_str());
}

bool PortSettings::LoadColour(const C_SettingsStore& store, const wchar_t* portKey, uint32_t& rgb) {
    C_String section;
    uint64_t value = 0;
    if (!SectionOf(portKey, section) || !ReadStored(store, kColourValue, section, value) || value > kLargestColour)
        return false;
    rgb = uint32_t(value);
    return true;
}

bool PortSettings::SaveColour(C_SettingsStore& store, const wchar_t* portKey, uint32_t rgb) {
    C_String section;
    return SectionOf(portKey, section) && store.WriteNumber(kColourValue, rgb & kLargestColour, section.c_str());
}

bool PortSettings::HasOwnValues(const C_SettingsStore& store, const wchar_t* portKey) {
    C_String section;
    uint64_t value = 0;
    if (!SectionOf(portKey, section))
        return false;
    for (const wchar_t* name : kOwnNumberNames)
        if (ReadStored(store, name, section, value))
            return true;
    return false;
}

bool PortSettings::CopyOwnValues(C_SettingsStore& store, const wchar_t* fromKey, const wchar_t* toKey, bool& copied) {
    copied = false;
    C_String from, to;
    if (!SectionOf(fromKey, from) || !SectionOf(toKey, to))
        return false;
    bool ok = true;
    for (const wchar_t* name : kOwnNumberNames) {
        uint64_t value = 0;
        if (!ReadStored(store, name, from, value))
            continue;
        copied = true;
        ok &= store.WriteNumber(name, value, to.c_str());
    }
    return ok;
}
