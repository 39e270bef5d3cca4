#include "foundation/settings/Options.h"

#include "platform/system/Handles.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kFirstFontSeparators = L";,";
constexpr const wchar_t* kFontSeparators = L";";

int CALLBACK StopAtFirstFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// A stored value's default taken from the destination itself: the read may use dest's buffer before it falls
// back to the default, so the default is copied out first.
void ReadStringKeepingDefault(const C_SettingsStore& store, const wchar_t* name, C_String& dest) {
    C_String fallback;
    fallback.Assign(dest);
    store.ReadString(name, dest, fallback.c_str());
}

} // namespace

const wchar_t* LineEndText(EnterSends enter) {
    switch (enter) {
    case EnterSends::Lf:
        return L"\n";
    case EnterSends::CrLf:
        return L"\r\n";
    case EnterSends::Cr:
        break;
    }
    return L"\r";
}

int OpenProgramSettings(C_Settings& settings) {
    return settings.Open(C_Settings::BACKEND_REGISTRY, HKEY_CURRENT_USER, kSettingsKeyPath);
}

bool IsFontFamilyInstalled(void*, const wchar_t* faceName) {
    if (!faceName || !*faceName)
        return false;
    C_WindowDc screen(nullptr);
    if (!screen.Get())
        return false;
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, faceName, LF_FACESIZE - 1); // the face name field holds 31 characters
    bool found = false;
    EnumFontFamiliesExW(screen.Get(), &font, StopAtFirstFont, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

bool ChooseFirstInstalledFont(const wchar_t* candidates, FontInstalledQuery query, void* context, C_String& out) {
    out.Empty();
    if (!candidates || !query)
        return false;
    C_String name;
    const wchar_t* separators = kFirstFontSeparators;
    for (const wchar_t* at = candidates; *at;) {
        size_t length = wcscspn(at, separators);
        if (length && name.Assign(at, uint32_t(length)) && query(context, name.c_str()))
            return out.Assign(name);
        at += length;
        if (*at)
            ++at;
        separators = kFontSeparators;
    }
    return false;
}

C_PersistedOptions::C_PersistedOptions() {
    powerLine.Assign(kDefaultPowerLine);
    animationChars.Assign(kDefaultAnimationChars);
}

void C_PersistedOptions::ChooseDefaultFont(FontInstalledQuery query, void* context) {
    ChooseFirstInstalledFont(kDefaultFontCandidates, query, context, fontName);
}

void C_PersistedOptions::Read(const C_SettingsStore& store, const wchar_t* commandLinePort, uint32_t commandLineBaud) {
    // Stored high bits would be run-time state such as FLAG_LOGGING, which must not come back at start.
    flags = uint32_t(store.ReadNumber(SettingName::Flags, kDefaultFlags)) & kStoredFlagsMask;
    fontSize = uint32_t(store.ReadNumber(SettingName::FontSize, kDefaultFontSize));
    baudRate = uint32_t(store.ReadNumber(SettingName::BaudRate, kDefaultBaudRate));
    charSendDelay = uint32_t(store.ReadNumber(SettingName::CharSendDelay, kDefaultCharSendDelay));
    parity = uint8_t(store.ReadNumber(SettingName::Parity, kDefaultParity));
    stopBits = uint8_t(store.ReadNumber(SettingName::StopBits, kDefaultStopBits));
    dataBits = uint8_t(store.ReadNumber(SettingName::DataBits, kDefaultDataBits));
    flowControl = uint8_t(store.ReadNumber(SettingName::FlowControl, kDefaultFlowControl));
    ReadStringKeepingDefault(store, SettingName::FontName, fontName);
    if (commandLinePort && *commandLinePort)
        serialPort.Assign(commandLinePort);
    else
        store.ReadString(SettingName::SerialPort, serialPort);
    lastSelectedPort.Assign(serialPort);
    store.ReadString(SettingName::Filter, filter);
    if (filter.GetLength() > kFilterLimit)
        filter.Left(int(kFilterLimit));
    store.ReadString(SettingName::TimeFormat, timeFormat);
    store.ReadString(SettingName::PowerLine, powerLine, kDefaultPowerLine);
    store.ReadString(SettingName::AnimationChars, animationChars, kDefaultAnimationChars);
    plotSpan = uint32_t(store.ReadNumber(SettingName::PlotSpan, kDefaultPlotSpanSeconds));
    // A value this version does not know sends CR, as Enter always did.
    const uint64_t enter = store.ReadNumber(SettingName::EnterSends, uint64_t(EnterSends::Cr));
    enterSends = enter < kEnterSendsCount ? EnterSends(enter) : EnterSends::Cr;
    lineDelay = uint32_t(store.ReadNumber(SettingName::LineDelay, kDefaultLineDelay));
    sendHex = store.ReadNumber(SettingName::SendHex, 0) != 0;
    hexJournalSize = uint32_t(store.ReadNumber(SettingName::HexJournalSize, kDefaultHexJournalSize));
    if (hexJournalSize < kSmallestHexJournalSize)
        hexJournalSize = kDefaultHexJournalSize;
    else if (hexJournalSize > kLargestHexJournalSize)
        hexJournalSize = kLargestHexJournalSize; // a 32-bit process has no room for more beside the line store
    if (commandLineBaud != 0)
        baudRate = commandLineBaud;
}

bool C_PersistedOptions::Write(C_SettingsStore& store) const {
    bool ok = store.WriteNumber(SettingName::Flags, flags & kStoredFlagsMask);
    ok &= store.WriteNumber(SettingName::BaudRate, baudRate);
    ok &= store.WriteNumber(SettingName::CharSendDelay, charSendDelay);
    ok &= store.WriteNumber(SettingName::Parity, parity);
    ok &= store.WriteNumber(SettingName::StopBits, stopBits);
    ok &= store.WriteNumber(SettingName::DataBits, dataBits);
    ok &= store.WriteNumber(SettingName::FlowControl, flowControl);
    ok &= store.WriteNumber(SettingName::FontSize, fontSize);
    ok &= store.WriteString(SettingName::FontName, fontName.c_str());
    ok &= store.WriteString(SettingName::SerialPort, serialPort.c_str());
    ok &= store.WriteString(SettingName::TimeFormat, timeFormat.c_str());
    ok &= store.WriteString(SettingName::PowerLine, powerLine.c_str());
    ok &= store.WriteString(SettingName::AnimationChars, animationChars.c_str());
    ok &= store.WriteString(SettingName::Filter, filter.c_str());
    ok &= store.WriteNumber(SettingName::PlotSpan, plotSpan);
    ok &= store.WriteNumber(SettingName::EnterSends, uint32_t(enterSends));
    ok &= store.WriteNumber(SettingName::LineDelay, lineDelay);
    ok &= store.WriteNumber(SettingName::SendHex, sendHex ? 1 : 0);
    ok &= store.WriteNumber(SettingName::HexJournalSize, hexJournalSize);
    return ok;
}

SerialLineSettings C_PersistedOptions::Line() const {
    SerialLineSettings line;
    line.baudRate = baudRate;
    line.parity = parity;
    line.stopBits = stopBits;
    line.dataBits = dataBits;
    line.flowControl = flowControl;
    return line;
}
