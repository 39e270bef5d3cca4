#include "ui/framework/FontList.h"

#include "platform/system/Handles.h"

#include <algorithm>
#include <new>

namespace {

constexpr BYTE kPitchMask = 0x3;

struct Collection {
    std::vector<std::wstring>& names;
    bool complete;
};

// A face is reported once per character set; SortUnique folds the repeats. Nothing may be thrown through the
// system's frames, so running out of memory ends the enumeration instead.
int CALLBACK CollectFixedPitch(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM context) {
    if ((font->lfPitchAndFamily & kPitchMask) != FIXED_PITCH)
        return 1;
    const auto* full = reinterpret_cast<const ENUMLOGFONTEXW*>(font);
    auto* collection = reinterpret_cast<Collection*>(context);
    try {
        collection->names.emplace_back(full->elfFullName[0] ? full->elfFullName : font->lfFaceName);
    } catch (const std::bad_alloc&) {
        collection->complete = false;
        return 0;
    }
    return 1;
}

int LocaleCompare(const std::wstring& left, const std::wstring& right) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, left.c_str(), int(left.size()), right.c_str(),
                          int(right.size()));
}

} // namespace

void FontList::SortUnique(std::vector<std::wstring>& names) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::wstring& name) { return name.empty() || name[0] == kVerticalPrefix; }),
                names.end());
    // Face names ignore case for the system and for the list's lookup, so names differing only in case are one.
    std::stable_sort(names.begin(), names.end(), [](const std::wstring& left, const std::wstring& right) {
        return LocaleCompare(left, right) == CSTR_LESS_THAN;
    });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::wstring& left, const std::wstring& right) {
                                return LocaleCompare(left, right) == CSTR_EQUAL;
                            }),
                names.end());
}

bool FontList::ListFixedPitchFonts(std::vector<std::wstring>& names) {
    names.clear();
    C_WindowDc screen(nullptr);
    if (!screen)
        return false;
    LOGFONTW all = {};
    all.lfCharSet = DEFAULT_CHARSET;
    Collection collection{names, true};
    EnumFontFamiliesExW(screen.Get(), &all, CollectFixedPitch, reinterpret_cast<LPARAM>(&collection), 0);
    if (!collection.complete) {
        names.clear();
        return false;
    }
    SortUnique(names); // moves only: nothing left to run out of
    return true;
}
