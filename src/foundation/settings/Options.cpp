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
    const bool portGiven = commandLinePort && *commandLinePort;
    m_stored.clear();
    for (const OptionRows::Row& row : OptionRows::Table()) {
        if (portGiven && row.text == &C_PersistedOptions::serialPort) {
            serialPort.Assign(commandLinePort);
            m_stored.emplace_back(); // not read: written at the next chance
            continue;
        }
        ReadRow(store, row);
        m_stored.push_back(RowText(row));
    }
    lastSelectedPort.Assign(serialPort);
    if (commandLineBaud != 0)
        baudRate = commandLineBaud;
}

void C_PersistedOptions::ReadRow(const C_SettingsStore& store, const OptionRows::Row& row) {
    using OptionRows::Kind;
    if (row.kind == Kind::Text) {
        C_String& text = this->*row.text;
        if (row.defaultText)
            store.ReadString(row.name, text, row.defaultText);
        else
            ReadStringKeepingDefault(store, row.name, text);
        if (row.high && text.GetLength() > row.high)
            text.Left(int(row.high));
        return;
    }
    const uint64_t stored = store.ReadNumber(row.name, row.defaultNumber);
    switch (row.kind) {
    case Kind::Bits:
        row.set(*this, stored & row.high);
        break;
    case Kind::Choice:
        row.set(*this, stored < row.high ? stored : row.defaultNumber);
        break;
    default:
        row.set(*this, stored);
        if (row.get(*this) < row.low)
            row.set(*this, row.defaultNumber);
        else if (row.get(*this) > row.high)
            row.set(*this, row.high);
        break;
    }
}

bool C_PersistedOptions::WriteRow(C_SettingsStore& store, const OptionRows::Row& row) const {
    if (row.kind == OptionRows::Kind::Text)
        return store.WriteString(row.name, (this->*row.text).c_str());
    const uint64_t value = row.get(*this);
    return store.WriteNumber(row.name, row.kind == OptionRows::Kind::Bits ? value & row.high : value);
}

// Numbers as decimal text; only equality matters.
std::wstring C_PersistedOptions::RowText(const OptionRows::Row& row) const {
    if (row.kind == OptionRows::Kind::Text) {
        const C_String& text = this->*row.text;
        return std::wstring(text.c_str(), text.GetLength());
    }
    const uint64_t value = row.get(*this);
    return std::to_wstring(row.kind == OptionRows::Kind::Bits ? value & row.high : value);
}

bool C_PersistedOptions::Write(C_SettingsStore& store) {
    m_stored.clear();
    bool ok = true;
    for (const OptionRows::Row& row : OptionRows::Table()) {
        const bool written = WriteRow(store, row);
        ok &= written;
        m_stored.push_back(written ? std::optional<std::wstring>(RowText(row)) : std::nullopt);
    }
    return ok;
}

bool C_PersistedOptions::WriteChanged(C_SettingsStore& store) {
    if (m_stored.size() != OptionRows::Count())
        return Write(store);
    bool ok = true;
    size_t index = 0;
    for (const OptionRows::Row& row : OptionRows::Table()) {
        std::wstring now = RowText(row);
        std::optional<std::wstring>& stored = m_stored[index++];
        if (stored && now == *stored)
            continue;
        if (WriteRow(store, row))
            stored = std::move(now);
        else
            ok = false;
    }
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
