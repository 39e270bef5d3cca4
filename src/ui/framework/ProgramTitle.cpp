#include "ui/framework/ProgramTitle.h"

#include "platform/formats/VersionResource.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kTitleFormat = L"%s [%u.%02u]";
constexpr const wchar_t* kFileVersion = L"FileVersion";
constexpr const wchar_t* kVersionBlocks[] = {L"040704B0", L"040904B0"};
constexpr ProgramVersion kVersionWithoutResource = {1, 1};

bool ParseVersionText(const wchar_t* text, ProgramVersion& version) {
    unsigned major, minor;
    if (!text || swscanf(text, L"%u.%u", &major, &minor) != 2)
        return false;
    version = {major, minor};
    return true;
}

} // namespace

// A FileVersion text that does not hold "major.minor" (resource scripts often write "1, 37, 0, 0") is passed
// over for the next source instead of showing a made-up version.
ProgramVersion ReadProgramVersion(const C_VersionResource* resource) {
    ProgramVersion version = kVersionWithoutResource;
    if (!resource || !resource->IsLoaded())
        return version;
    for (const wchar_t* block : kVersionBlocks)
        if (ParseVersionText(resource->GetString(block, kFileVersion), version))
            return version;
    if (const VS_FIXEDFILEINFO* fixed = resource->GetFixedInfo())
        version = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS)};
    return version;
}

ProgramVersion ReadProgramVersion(HMODULE module) {
    C_VersionResource resource;
    bool loaded = resource.Load(module ? module : GetModuleHandleW(nullptr));
    return ReadProgramVersion(loaded ? &resource : nullptr);
}

bool FormatProgramTitle(const wchar_t* baseTitle, ProgramVersion version, C_String& out) {
    return out.Format(kTitleFormat, baseTitle, version.major, version.minor);
}

bool FormatProgramTitle(const wchar_t* baseTitle, C_String& out, HMODULE module) {
    return FormatProgramTitle(baseTitle, ReadProgramVersion(module), out);
}

bool SetProgramTitle(HWND window, HMODULE module) {
    C_String title;
    return window && FormatProgramTitle(kProductTitle, title, module) && SetWindowTextW(window, title.c_str());
}
