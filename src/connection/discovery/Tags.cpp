#include "connection/discovery/Tags.h"

void Tags::LoadTag(const C_SettingsStore& settings, const wchar_t* portKey, C_String& tag) {
    if (!portKey || !*portKey || !settings.ReadString(portKey, tag, nullptr, kSection))
        tag.Empty();
}

bool Tags::SaveTag(C_SettingsStore& settings, const wchar_t* portKey, const wchar_t* tag) {
    return portKey && *portKey && settings.WriteString(portKey, tag ? tag : L"", kSection);
}
