#include "platform/formats/SafePath.h"

#include <cwchar>
#include <cwctype>

namespace {

constexpr const wchar_t* kForbidden = L"<>:\"|?*";
constexpr const wchar_t* kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
constexpr const wchar_t* kNumberedDevices[] = {L"COM", L"LPT"};
constexpr size_t kMaxDeviceName = 7;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The device name is what comes before the first dot, blanks cut: "nul.txt" and "COM1 " open devices too.
bool IsDeviceName(const wchar_t* component, size_t length) {
    size_t stem = 0;
    while (stem < length && component[stem] != L'.')
        ++stem;
    while (stem > 0 && component[stem - 1] == L' ')
        --stem;
    if (stem == 0 || stem > kMaxDeviceName)
        return false;
    wchar_t upper[kMaxDeviceName + 1] = {};
    for (size_t i = 0; i < stem; ++i)
        upper[i] = wchar_t(towupper(component[i]));
    for (const wchar_t* device : kDevices)
        if (wcscmp(upper, device) == 0)
            return true;
    // COM1..COM9 and LPT1..LPT9, also with the superscript digits the system accepts.
    for (const wchar_t* prefix : kNumberedDevices)
        if (stem == 4 && wcsncmp(upper, prefix, 3) == 0 &&
            ((upper[3] >= L'1' && upper[3] <= L'9') || upper[3] == 0xB9 || upper[3] == 0xB2 || upper[3] == 0xB3))
            return true;
    return false;
}

bool IsSafeComponent(const wchar_t* component, size_t length) {
    if (length == 0)
        return false;
    bool onlyDotsAndBlanks = true;
    for (size_t i = 0; i < length; ++i)
        if (component[i] != L'.' && component[i] != L' ')
            onlyDotsAndBlanks = false;
    const wchar_t last = component[length - 1];
    return !onlyDotsAndBlanks && last != L'.' && last != L' ' && !IsDeviceName(component, length);
}

} // namespace

bool IsSafeRelativePath(const wchar_t* path) {
    if (!path || !*path || IsSeparator(path[0]))
        return false;
    for (const wchar_t* at = path; *at; ++at)
        if (*at < 0x20 || wcschr(kForbidden, *at))
            return false;
    const wchar_t* component = path;
    for (const wchar_t* at = path;; ++at) {
        if (*at && !IsSeparator(*at))
            continue;
        if (!IsSafeComponent(component, size_t(at - component)))
            return false;
        if (!*at)
            return true;
        component = at + 1;
    }
}

bool IsPlainFileName(const wchar_t* name) {
    return IsSafeRelativePath(name) && !wcschr(name, L'\\') && !wcschr(name, L'/');
}

bool JoinInside(const wchar_t* folder, const wchar_t* relative, wchar_t* out, DWORD capacity) {
    if (!folder || !*folder || !IsSafeRelativePath(relative))
        return false;
    wchar_t base[MAX_PATH];
    const DWORD baseLength = GetFullPathNameW(folder, MAX_PATH, base, nullptr);
    if (baseLength == 0 || baseLength >= MAX_PATH - 1)
        return false;
    if (base[baseLength - 1] == L'\\')
        base[baseLength - 1] = 0;
    wchar_t joined[2 * MAX_PATH];
    if (_snwprintf(joined, 2 * MAX_PATH, L"%s\\%s", base, relative) < 0)
        return false;
    joined[2 * MAX_PATH - 1] = 0;
    for (wchar_t* at = joined; *at; ++at)
        if (*at == L'/')
            *at = L'\\';
    // The checks above already keep the path inside; resolving it proves it, whatever the system makes of it.
    const DWORD length = GetFullPathNameW(joined, capacity, out, nullptr);
    const size_t prefix = wcslen(base);
    return length != 0 && length < capacity && _wcsnicmp(out, base, prefix) == 0 && out[prefix] == L'\\' &&
           out[prefix + 1] != 0;
}
