#pragma once
// The COM names a board with an identity was listed under, so its button can say where the user knew it from
// ("was COM5"), and the handing over of what was stored under a COM name before boards were known by who they
// are. Both live in the board's own section of the settings (PortSettings::SectionOf of its identity):
//   PortName        the name it was listed under last ("COM9")
//   FormerPortName  the name before that ("COM5")
// and, in the section of the COM name whose values a board took over, MovedTo: that board's identity.
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"

namespace BoardNames {

constexpr const wchar_t* kPortNameValue = L"PortName";
constexpr const wchar_t* kFormerPortNameValue = L"FormerPortName";
constexpr const wchar_t* kMovedToValue = L"MovedTo";

// A refresh listed the board identity at devicePath ("\\.\COM9"). Records the name; answers in former the name
// it had before when that differs from this one, else empty.
//
// The first time a board is listed it takes over the tag and the line settings stored under its COM name, once:
// they were made for the board that had that name, and this most likely is it. The values stay where they were
// (an older Velto reads them there), marked as moved, so a board that gets the name later does not take them too.
// False when a write failed.
bool NoteListed(C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath, C_String& former);

// For a reader that must not write (velto-cli): what NoteListed would answer, from the store alone, and the key
// the board's values are read from. That is its identity, except before the program first listed it while its
// COM name holds values that it would take over then: their COM name's key.
void Former(const C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath, C_String& former);
bool ValuesKey(const C_SettingsStore& store, const wchar_t* identity, const wchar_t* devicePath, C_String& key);

} // namespace BoardNames
