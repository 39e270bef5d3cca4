#include "connection/discovery/BoardNames.h"

#include "connection/discovery/Tags.h"
#include "foundation/settings/LineSettings.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kDevicePathPrefix = L"\\\\.\\";

// "COM9" of "\\.\COM9": how the user knows the port.
const wchar_t* PortNameOf(const wchar_t* devicePath) {
    const size_t prefix = wcslen(kDevicePathPrefix);
    return wcsncmp(devicePath, kDevicePathPrefix, prefix) == 0 ? devicePath + prefix : devicePath;
}

// What a board's section holds about its names.
struct Stored {
    bool seen = false; // listed before
    C_String last;
    C_String former;
};

void Read(const C_SettingsStore& store, const C_String& section, Stored& stored) {
    stored.seen = store.ReadString(BoardNames::kPortNameValue, stored.last, nullptr, section.c_str());
    store.ReadString(BoardNames::kFormerPortNameValue, stored.former, nullptr, section.c_str());
}

// The name to tell, from what was stored before this listing.
void Answer(const Stored& stored, const wchar_t* name, C_String& former) {
    former.Empty();
    if (!stored.seen)
        return;
    const C_String& told = stored.last.CompareNoCase(name) != 0 ? stored.last : stored.former;
    if (told.CompareNoCase(name) != 0)
        former.Assign(told);
}

bool TakeOver(C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath) {
    C_String section, movedTo, tag;
    if (!PortSettings::SectionOf(devicePath, section) ||
        store.ReadString(BoardNames::kMovedToValue, movedTo, nullptr, section.c_str()))
        return true;
    bool copied = false;
    bool ok = PortSettings::CopyOwnValues(store, devicePath, identity, copied);
    Tags::LoadTag(store, devicePath, tag);
    if (!tag.IsEmpty())
        ok &= Tags::SaveTag(store, identity, tag.c_str());
    if (copied || !tag.IsEmpty())
        ok &= store.WriteString(BoardNames::kMovedToValue, identity, section.c_str());
    return ok;
}

} // namespace

bool BoardNames::NoteListed(C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath,
                            C_String& former) {
    former.Empty();
    C_String section;
    Stored stored;
    if (!devicePath || !PortSettings::SectionOf(identity, section))
        return false;
    Read(store, section, stored);
    const wchar_t* name = PortNameOf(devicePath);
    Answer(stored, name, former);
    bool ok = true;
    if (!stored.seen)
        ok &= TakeOver(store, identity, devicePath);
    else if (stored.last.CompareNoCase(name) == 0)
        return true;
    else
        ok &= store.WriteString(kFormerPortNameValue, stored.last.c_str(), section.c_str());
    return store.WriteString(kPortNameValue, name, section.c_str()) && ok;
}

void BoardNames::Former(const C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath,
                        C_String& former) {
    former.Empty();
    C_String section;
    Stored stored;
    if (!devicePath || !PortSettings::SectionOf(identity, section))
        return;
    Read(store, section, stored);
    Answer(stored, PortNameOf(devicePath), former);
}

bool BoardNames::ValuesKey(const C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath,
                           C_String& key) {
    if (!identity || !*identity)
        return key.Assign(devicePath ? devicePath : L"");
    C_String section, value;
    const bool listed =
        PortSettings::SectionOf(identity, section) && store.ReadString(kPortNameValue, value, nullptr, section.c_str());
    const bool taken = PortSettings::SectionOf(devicePath, section) &&
                       store.ReadString(kMovedToValue, value, nullptr, section.c_str());
    if (listed || taken || !devicePath)
        return key.Assign(identity);
    C_String tag;
    Tags::LoadTag(store, devicePath, tag);
    return key.Assign(!tag.IsEmpty() || PortSettings::HasOwnValues(store, devicePath) ? devicePath : identity);
}
