#include "ui/framework/CommandLine.h"

#include "foundation/base/File.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

constexpr wchar_t kQuote = L'"';
constexpr wchar_t kFilePrefix = L'@';
constexpr const char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr size_t kUtf8MarkLength = 3;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool IsOptionPrefix(wchar_t c) {
    return c == L'-' || c == L'/';
}

const wchar_t* SkipBlanks(const wchar_t* at) {
    while (IsBlank(*at))
        ++at;
    return at;
}

const wchar_t* WordEnd(const wchar_t* at) {
    while (*at && !IsBlank(*at))
        ++at;
    return at;
}

// Where a number option's name is followed directly by its value ("-b9600").
bool StartsNumber(wchar_t c, C_CommandLine::Kind kind) {
    return iswdigit(c) || c == L'+' || c == L'-' || (kind == C_CommandLine::KIND_HEX && iswxdigit(c));
}

bool IsNumberKind(C_CommandLine::Kind kind) {
    return kind == C_CommandLine::KIND_DECIMAL || kind == C_CommandLine::KIND_HEX;
}

bool ReadNumber(const wchar_t* text, C_CommandLine::Kind kind, int64_t& value) {
    return swscanf(text, kind == C_CommandLine::KIND_HEX ? L"%I64x" : L"%I64i", &value) == 1;
}

} // namespace

const wchar_t* ReadCommandWord(const wchar_t* at, C_String& word) {
    word.Assign(L"");
    bool quoted = false;
    for (; *at; ++at) {
        if (*at == kQuote) {
            if (quoted && at[1] == kQuote)
                word.AppendChar(*++at);
            else
                quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(*at))
            break;
        word.AppendChar(*at);
    }
    return at;
}

bool C_CommandLine::Declare(const wchar_t* name, Kind kind, int64_t defaultValue) {
    size_t length = name ? wcslen(name) : 0;
    if (m_count >= kMaxOptions || length == 0 || length > size_t(kMaxNameLength))
        return false;
    Option& option = m_options[m_count++];
    wcscpy(option.name, name);
    option.kind = kind;
    option.defaultValue = option.number = defaultValue;
    option.given = false;
    option.text.Assign(L"");
    return true;
}

bool C_CommandLine::Parse() {
    return Parse(SkipFirstArgument(GetCommandLineW()));
}

bool C_CommandLine::Parse(const wchar_t* commandLine) {
    return ParseText(commandLine ? commandLine : L"", 0);
}

bool C_CommandLine::ParseText(const wchar_t* text, int depth) {
    bool ok = true;
    C_String word;
    for (const wchar_t* at = SkipBlanks(text); *at; at = SkipBlanks(at)) {
        if (IsOptionPrefix(*at)) {
            at = ParseOption(at, ok);
        } else if (*at == kFilePrefix) {
            at = ReadCommandWord(at + 1, word);
            if (!ParseFile(word.c_str(), depth + 1))
                ok = false;
        } else {
            at = ReadCommandWord(at, word);
            ++m_plainWords;
        }
    }
    return ok;
}

const wchar_t* C_CommandLine::ParseOption(const wchar_t* at, bool& ok) {
    const wchar_t* name = at + 1;
    const wchar_t* end = WordEnd(name);
    const wchar_t* valueText = nullptr;
    Option* option = Match(name, uint32_t(end - name), valueText);
    if (!option) {
        ok = false;
        C_String word;
        ++m_plainWords;
        return ReadCommandWord(at, word);
    }
    if (option->kind == KIND_FLAG) {
        option->number = 1;
        option->given = true;
        return end;
    }
    if (option->kind == KIND_TEXT) {
        option->given = true;
        return ReadCommandWord(SkipBlanks(end), option->text);
    }
    // A number either follows the name in the same word or is the next word ("-b 9600").
    bool separate = valueText == end;
    const wchar_t* numberText = separate ? SkipBlanks(end) : valueText;
    int64_t value;
    if (!ReadNumber(numberText, option->kind, value))
        return end;
    option->number = value;
    option->given = true;
    return separate ? WordEnd(numberText) : end;
}

bool C_CommandLine::ParseFile(const wchar_t* path, int depth) {
    C_File file;
    if (depth > kMaxFileDepth || !*path || !file.Open(path, C_File::MODE_READ))
        return false;
    char line[kMaxFileLine];
    bool ok = true;
    UINT codePage = CP_ACP;
    C_String text;
    for (bool first = true; file.ReadLine(line, sizeof line); first = false) {
        const char* bytes = line;
        if (first && strncmp(line, kUtf8Mark, kUtf8MarkLength) == 0) {
            bytes += kUtf8MarkLength;
            codePage = CP_UTF8;
        }
        text.AssignMultiByte(bytes, uint32_t(strlen(bytes)), false, codePage);
        if (!ParseText(text.c_str(), depth))
            ok = false;
    }
    return ok;
}

// Exact names first, so that a longer declared name is never read as a shorter number option with a value.
C_CommandLine::Option* C_CommandLine::Match(const wchar_t* word, uint32_t length, const wchar_t*& valueText) {
    for (int i = 0; i < m_count; ++i) {
        uint32_t nameLength = uint32_t(wcslen(m_options[i].name));
        if (nameLength == length && EqualsNoCase(word, m_options[i].name, length)) {
            valueText = word + length;
            return &m_options[i];
        }
    }
    for (int i = 0; i < m_count; ++i) {
        uint32_t nameLength = uint32_t(wcslen(m_options[i].name));
        if (IsNumberKind(m_options[i].kind) && nameLength < length &&
            EqualsNoCase(word, m_options[i].name, nameLength) && StartsNumber(word[nameLength], m_options[i].kind)) {
            valueText = word + nameLength;
            return &m_options[i];
        }
    }
    return nullptr;
}

const C_CommandLine::Option* C_CommandLine::Find(const wchar_t* name) const {
    for (int i = 0; i < m_count; ++i)
        if (_wcsicmp(m_options[i].name, name) == 0)
            return &m_options[i];
    return nullptr;
}

bool C_CommandLine::GetText(const wchar_t* name, C_String& out) const {
    const Option* option = Find(name);
    if (!option || option->kind != KIND_TEXT || !option->given || option->text.IsEmpty())
        return false;
    return out.Assign(option->text);
}

int64_t C_CommandLine::GetNumber(const wchar_t* name) const {
    const Option* option = Find(name);
    if (!option)
        return 0;
    return option->given ? option->number : option->defaultValue;
}

bool C_CommandLine::WasGiven(const wchar_t* name) const {
    const Option* option = Find(name);
    return option && option->given;
}
