#pragma once
// The interface language and the order in which resources are looked up for it. String blocks and dialog
// templates alike are taken from the first language of the order that has them, so a language without its own
// table falls back to a related one, then to English, then to German, the language the templates exist in.
#include <windows.h>

namespace Language {

// The marker for "the user's default language", in effect until a language is chosen.
constexpr LANGID kUserDefault = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
constexpr LANGID kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kEnglishUk = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);
constexpr LANGID kEnglishNeutral = MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);
constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr LANGID kGreek = MAKELANGID(LANG_GREEK, SUBLANG_DEFAULT);
constexpr LANGID kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
constexpr int kOrderLength = 7;
// The language ids whose ISO 639 names the "l" option is matched against.
constexpr int kFirstPrimaryLanguage = 1;
constexpr int kLastPrimaryLanguage = 126;

// The process-wide interface language (kUserDefault until set).
void SetInterfaceLanguage(LANGID language);
LANGID GetInterfaceLanguage();

// The user-default marker becomes the user's default language; a neutral or custom id becomes the user's
// interface language, and that failing, English.
LANGID Resolve(LANGID language);

// The lookup order for a language (resolved first): the language, its primary language with the default
// sublanguage, the primary language alone, English (US), English (UK), English (neutral), German.
void BuildOrder(LANGID language, LANGID (&order)[kOrderLength]);

// The resource in the first language of the order that has it, or null.
HRSRC FindInLanguageOrder(HMODULE module, const wchar_t* type, const wchar_t* name, LANGID language);

// The language whose two-letter ISO 639 name equals the text (ignoring case), or 0 when none does.
LANGID FromIsoName(const wchar_t* isoName);

} // namespace Language
