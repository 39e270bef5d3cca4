#pragma once
// Port tags: short user labels shown in front of a port's name. Each is a string value in the section
// "Tags" of the settings store, named by the port's key (its device path, or the text typed for an
// endpoint).
#include "foundation/settings/SettingsStore.h"
#include "foundation/base/TextString.h"

namespace Tags {

constexpr const wchar_t* kSection = L"Tags";

// The tag of a port; empty when it has none.
void LoadTag(const C_SettingsStore& settings, const wchar_t* portKey, C_String& tag);
// An empty tag is written as an empty string. False when the store refused the write.
bool SaveTag(C_SettingsStore& settings, const wchar_t* portKey, const wchar_t* tag);

} // namespace Tags
