#include "maintenance/update/UpdateHost.h"

#include "maintenance/service/MachineId.h"
#include "platform/formats/VersionResource.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>

namespace {

constexpr const wchar_t* kVersionFormat = L"%u.%u";
constexpr const wchar_t* kFallbackLanguage = L"en";
constexpr int kLanguageNameSize = 16;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr uint64_t kFileTimeAt1970 = 116444736000000000ull;
// ShellExecute reports success with any value above this.
constexpr INT_PTR kShellExecuteErrorLimit = 32;
constexpr const wchar_t* kProbePrefix = L"upd";
constexpr const wchar_t* kFolderLockedFormat =
    L"Velto %s is available, but Velto cannot install it in %s: only an administrator may change the files there."
    L"\n\nAsk an administrator to install the new version, or start Velto as an administrator and let it update "
    L"itself.";
constexpr const wchar_t* kNotInstalledFormat =
    L"The update to Velto %s could not be installed. Velto is unchanged; the update is offered again at the next "
    L"weekly check.";

bool IsNeutralOrCustom(LANGID language) {
    return PRIMARYLANGID(language) == LANG_NEUTRAL || language == LOCALE_CUSTOM_DEFAULT ||
           language == LOCALE_CUSTOM_UNSPECIFIED || language == LOCALE_CUSTOM_UI_DEFAULT;
}

} // namespace

int C_UpdateHost::Ask(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxW(owner, text, caption, type);
}

bool C_UpdateHost::OpenAddress(const wchar_t* address) {
    return INT_PTR(ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL)) > kShellExecuteErrorLimit;
}

bool C_UpdateHost::StartProgram(const wchar_t* file, const wchar_t* folder) {
    return INT_PTR(ShellExecuteW(nullptr, L"open", file, nullptr, folder, SW_SHOWDEFAULT)) > kShellExecuteErrorLimit;
}

bool C_UpdateHost::IsPackaged() {
    return IsPackagedProcess();
}

bool C_UpdateHost::GetProgramPath(C_String& out) {
    if (!out.Empty(MAX_PATH))
        return false;
    const DWORD length = GetModuleFileNameW(nullptr, out.GetBuffer(), out.GetCapacity() + 1);
    if (length == 0 || length > out.GetCapacity())
        return false;
    out.UpdateLength();
    return true;
}

bool C_UpdateHost::GetProgramVersion(C_String& out) {
    C_VersionResource resource;
    unsigned major = 0;
    unsigned minor = 0;
    return resource.Load(GetModuleHandleW(nullptr)) && resource.GetMajorMinor(major, minor) &&
           out.Format(kVersionFormat, major, minor);
}

bool C_UpdateHost::GetDesktopFolder(C_String& out) {
    if (!out.Empty(MAX_PATH) ||
        FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, out.GetBuffer())))
        return false;
    out.UpdateLength();
    return !out.IsEmpty();
}

bool C_UpdateHost::CanChangeFolder(const wchar_t* folder) {
    wchar_t probe[MAX_PATH];
    if (!GetTempFileNameW(folder, kProbePrefix, 0, probe))
        return false;
    DeleteFileW(probe);
    return true;
}

bool C_UpdateHost::GetFailureFormat(UpdateFailure failure, C_String& out) {
    return out.Assign(failure == UpdateFailure::FolderLocked ? kFolderLockedFormat : kNotInstalledFormat);
}

void C_UpdateHost::GetLanguage(C_String& out) {
    LANGID language = GetUserDefaultLangID();
    if (IsNeutralOrCustom(language))
        language = GetUserDefaultUILanguage();
    wchar_t name[kLanguageNameSize] = {};
    if (IsNeutralOrCustom(language) ||
        !GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SISO639LANGNAME, name, kLanguageNameSize) || !*name)
        out.Assign(kFallbackLanguage);
    else
        out.Assign(name);
}

bool C_UpdateHost::GetMachineId(C_String& out) {
    return ::GetMachineId(PURPOSE_UPDATE_CHECK, out);
}

uint64_t C_UpdateHost::Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t units = uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return (units - kFileTimeAt1970) / kFileTimeUnitsPerSecond;
}

C_UpdateHost& C_UpdateHost::System() {
    static C_UpdateHost systemHost;
    return systemHost;
}
