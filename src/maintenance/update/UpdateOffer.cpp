#include "maintenance/update/UpdateOffer.h"

#include <cwchar>
#include <cwctype>

namespace {

constexpr const wchar_t* kVersionFormat = L"%u.%u";
constexpr wchar_t kEllipsis = L'\x2026';

} // namespace

namespace Update {

bool ParseVersion(const wchar_t* text, Version& out) {
    return text && swscanf(text, kVersionFormat, &out.major, &out.minor) == 2;
}

bool IsNewer(const Version& offered, const Version& running) {
    return offered.major > running.major || (offered.major == running.major && offered.minor > running.minor);
}

bool IsHttps(const wchar_t* url) {
    return url && _wcsnicmp(url, L"https://", 8) == 0;
}

std::wstring FolderOf(const wchar_t* path) {
    std::wstring folder(path);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash);
    return folder;
}

void CutToQuestion(C_String& text, uint32_t maxCharacters, uint32_t maxLines) {
    const uint32_t length = text.GetLength();
    uint32_t end = 0;
    for (uint32_t lines = 1; end < length && end < maxCharacters; ++end)
        if (text.GetAt(int(end)) == L'\n' && ++lines > maxLines)
            break;
    if (end == length)
        return;
    if (end >= maxCharacters)
        end = maxCharacters - 1; // room for the ellipsis
    while (end > 0 && iswspace(text.GetAt(int(end) - 1)))
        --end;
    text.Left(int(end));
    text.AppendChar(kEllipsis);
}

} // namespace Update
