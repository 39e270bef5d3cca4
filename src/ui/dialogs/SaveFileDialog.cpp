#include "ui/dialogs/SaveFileDialog.h"

#include <commdlg.h>

#include <cwchar>

namespace SaveFileDialog {

namespace {

constexpr DWORD kFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FORCESHOWHIDDEN | OFN_EXPLORER;

} // namespace

bool FilterList(const wchar_t* text, C_String& out) {
    const size_t length = text ? wcslen(text) : 0;
    if (length == 0 || !out.Assign(text, uint32_t(length)))
        return false;
    out.ReplaceChar(text[length - 1], L'\0');
    return true;
}

DWORD Ask(HWND owner, const wchar_t* suggestedName, const wchar_t* filterText, const wchar_t* title, DWORD filterIndex,
          C_String& path) {
    C_String filters;
    if (!FilterList(filterText, filters) || !path.SetCapacity(kMaxPath))
        return 0;
    wchar_t* buffer = path.GetBuffer();
    wcsncpy(buffer, suggestedName ? suggestedName : L"", kMaxPath - 1);
    buffer[kMaxPath - 1] = 0;

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = filterIndex;
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = kMaxPath;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = kDefaultExtension;
    dialog.Flags = kFlags;
    BOOL chosen = GetSaveFileNameW(&dialog);
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        buffer[0] = 0;
        chosen = GetSaveFileNameW(&dialog);
    }
    path.UpdateLength();
    if (!chosen) {
        path.Empty();
        return 0;
    }
    return dialog.nFilterIndex ? dialog.nFilterIndex : 1;
}

} // namespace SaveFileDialog
