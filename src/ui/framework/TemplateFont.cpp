#include "ui/framework/TemplateFont.h"

#include "platform/system/Handles.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kOldTemplateFaces[] = {L"MS Sans Serif", L"MS Shell Dlg", L"System"};
constexpr const wchar_t* kInterfaceFaces[] = {L"MS Sans Serif",        L"Tahoma",       L"Segoe UI",
                                              L"Microsoft YaHei UI",   L"Yu Gothic UI", L"Leelawadee UI",
                                              L"Microsoft JhengHei UI"};
constexpr const wchar_t* kSegoeUi = L"Segoe UI";
constexpr const wchar_t* kShellDialog2 = L"MS Shell Dlg 2";
constexpr const wchar_t* kShellDialog = L"MS Shell Dlg";
constexpr const wchar_t* kSubstitutesKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";
constexpr int kPointsPerInch = 72;

template <size_t N> bool IsOneOf(const wchar_t* face, const wchar_t* const (&faces)[N]) {
    for (const wchar_t* candidate : faces)
        if (_wcsicmp(face, candidate) == 0)
            return true;
    return false;
}

int PointSizeOf(LONG height, int dpiY) {
    if (height == 0 || dpiY <= 0)
        return kShellDialogPointSize;
    return MulDiv(height < 0 ? -height : height, kPointsPerInch, dpiY);
}

void SetFont(TemplateFont& out, const wchar_t* face, int pointSize) {
    wcsncpy(out.face, face, LF_FACESIZE - 1);
    out.face[LF_FACESIZE - 1] = 0;
    out.pointSize = WORD(pointSize);
}

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0; // one is enough
}

bool IsSubstitute(const wchar_t* face) {
    C_RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kSubstitutesKey, KEY_QUERY_VALUE))
        return false;
    return RegQueryValueExW(key.Get(), face, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

} // namespace

bool C_SystemFontCatalog::IsInstalled(const wchar_t* face) const {
    if (!face || !*face || wcslen(face) >= LF_FACESIZE)
        return false;
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcscpy(wanted.lfFaceName, face);
    bool found = false;
    if (C_WindowDc screen{nullptr})
        EnumFontFamiliesExW(screen.Get(), &wanted, CountFont, reinterpret_cast<LPARAM>(&found), 0);
    return found || IsSubstitute(face);
}

bool ChooseTemplateFont(const wchar_t* templateFace, const LOGFONTW& messageFont, int dpiY, bool preferShellDlg2,
                        const I_FontCatalog& fonts, TemplateFont& out) {
    const wchar_t* messageFace = messageFont.lfFaceName;
    if (!templateFace || !IsOneOf(templateFace, kOldTemplateFaces) || !IsOneOf(messageFace, kInterfaceFaces))
        return false;
    if (preferShellDlg2 && _wcsicmp(messageFace, kSegoeUi) == 0 && fonts.IsInstalled(kShellDialog2))
        SetFont(out, kShellDialog2, kShellDialogPointSize);
    else if (fonts.IsInstalled(messageFace))
        SetFont(out, messageFace, PointSizeOf(messageFont.lfHeight, dpiY));
    else
        SetFont(out, fonts.IsInstalled(kShellDialog2) ? kShellDialog2 : kShellDialog, kShellDialogPointSize);
    return true;
}

bool ReadMessageFont(LOGFONTW& font) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return false;
    font = metrics.lfMessageFont;
    return true;
}
