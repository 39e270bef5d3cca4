#include "ui/framework/Language.h"

#include <cwchar>

namespace {

// More languages than any one resource of the program is stored in.
constexpr int kMaxListedLanguages = 32;
constexpr int kIsoNameLength = 9; // LOCALE_SISO639LANGNAME holds at most nine characters

LANGID g_interfaceLanguage = Language::kUserDefault;

bool IsNeutralOrCustom(LANGID language) {
    // The user-default, system-default and custom locale markers all share the neutral primary language.
    WORD primary = PRIMARYLANGID(language);
    return primary == LANG_NEUTRAL || primary == LANG_INVARIANT;
}

struct LanguageList {
    LANGID languages[kMaxListedLanguages];
    int count = 0;

    bool Contains(LANGID language) const {
        for (int i = 0; i < count; ++i)
            if (languages[i] == language)
                return true;
        return false;
    }
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    auto* list = reinterpret_cast<LanguageList*>(context);
    if (list->count < kMaxListedLanguages)
        list->languages[list->count++] = language;
    return TRUE;
}

} // namespace

namespace Language {

void SetInterfaceLanguage(LANGID language) {
    g_interfaceLanguage = language;
}

LANGID GetInterfaceLanguage() {
    return g_interfaceLanguage;
}

LANGID Resolve(LANGID language) {
    if (language == kUserDefault)
        language = GetUserDefaultLangID();
    if (IsNeutralOrCustom(language))
        language = GetUserDefaultUILanguage();
    if (IsNeutralOrCustom(language))
        language = kEnglishUs;
    return language;
}

void BuildOrder(LANGID language, LANGID (&order)[kOrderLength]) {
    language = Resolve(language);
    WORD primary = PRIMARYLANGID(language);
    order[0] = language;
    order[1] = MAKELANGID(primary, SUBLANG_DEFAULT);
    order[2] = MAKELANGID(primary, SUBLANG_NEUTRAL);
    order[3] = kEnglishUs;
    order[4] = kEnglishUk;
    order[5] = kEnglishNeutral;
    order[6] = kGerman;
}

// FindResourceEx falls back to other languages by itself when the one asked for is missing, so the languages
// the resource really exists in are listed first and only those are asked for.
HRSRC FindInLanguageOrder(HMODULE module, const wchar_t* type, const wchar_t* name, LANGID language) {
    LanguageList available;
    EnumResourceLanguagesW(module, type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&available));
    LANGID order[kOrderLength];
    BuildOrder(language, order);
    for (LANGID candidate : order)
        if (available.Contains(candidate))
            return FindResourceExW(module, type, name, candidate);
    return nullptr;
}

LANGID FromIsoName(const wchar_t* isoName) {
    if (!isoName || !*isoName)
        return 0;
    for (int primary = kFirstPrimaryLanguage; primary <= kLastPrimaryLanguage; ++primary) {
        LANGID language = MAKELANGID(primary, SUBLANG_DEFAULT);
        wchar_t name[kIsoNameLength + 1];
        if (GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SISO639LANGNAME, name, kIsoNameLength + 1) &&
            _wcsicmp(name, isoName) == 0)
            return language;
    }
    return 0;
}

} // namespace Language
