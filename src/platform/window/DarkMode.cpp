#include "platform/window/DarkMode.h"

#include "platform/system/Handles.h"
#include "platform/system/SystemFunction.h"

namespace {

constexpr const wchar_t* kPersonalizeKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr const wchar_t* kAppsUseLightTheme = L"AppsUseLightTheme";
// DWMWA_USE_IMMERSIVE_DARK_MODE; builds of Windows 10 before 20H1 knew it under the number 19.
constexpr DWORD kDarkModeAttribute = 20;
constexpr DWORD kDarkModeAttributeBefore20H1 = 19;
constexpr const wchar_t* kDarkWindowTheme = L"DarkMode_Explorer";
constexpr const wchar_t* kDarkComboBoxTheme = L"DarkMode_CFD";

using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

bool HighContrastActive() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

} // namespace

namespace DarkMode {

bool AppsUseDarkTheme() {
    DWORD light = 1;
    DWORD size = sizeof(light);
    C_RegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, kPersonalizeKey, KEY_QUERY_VALUE))
        return false;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExW(key.Get(), kAppsUseLightTheme, nullptr, &type, reinterpret_cast<BYTE*>(&light), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD)
        return false;
    return light == 0 && !HighContrastActive();
}

void ApplyWindowTheme(HWND window, bool dark) {
    static const auto setAttribute =
        LookupSystemFunction<DwmSetWindowAttributeFn>(L"dwmapi.dll", "DwmSetWindowAttribute");
    static const auto setTheme = LookupSystemFunction<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme");
    BOOL value = dark ? TRUE : FALSE;
    if (setAttribute && FAILED(setAttribute(window, kDarkModeAttribute, &value, sizeof(value))))
        setAttribute(window, kDarkModeAttributeBefore20H1, &value, sizeof(value));
    if (setTheme)
        setTheme(window, dark ? kDarkWindowTheme : nullptr, nullptr);
}

void ApplyComboBoxTheme(HWND comboBox, bool dark) {
    static const auto setTheme = LookupSystemFunction<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme");
    if (setTheme)
        setTheme(comboBox, dark ? kDarkComboBoxTheme : nullptr, nullptr);
}

} // namespace DarkMode
