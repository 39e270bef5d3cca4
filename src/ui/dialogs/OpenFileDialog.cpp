#include "ui/dialogs/OpenFileDialog.h"

#include "ui/dialogs/SaveFileDialog.h"

#include <commdlg.h>

namespace OpenFileDialog {

namespace {

constexpr DWORD kFlags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_FORCESHOWHIDDEN | OFN_EXPLORER;

} // namespace

bool Ask(HWND owner, const wchar_t* filterText, const wchar_t* title, C_String& path) {
    C_String filters;
    if (!SaveFileDialog::FilterList(filterText, filters) || !path.SetCapacity(SaveFileDialog::kMaxPath))
        return false;
    wchar_t* buffer = path.GetBuffer();
    buffer[0] = 0;
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = SaveFileDialog::kMaxPath;
    dialog.lpstrTitle = title;
    dialog.Flags = kFlags;
    const bool chosen = GetOpenFileNameW(&dialog) != FALSE;
    path.UpdateLength();
    if (!chosen)
        path.Empty();
    return chosen;
}

} // namespace OpenFileDialog
