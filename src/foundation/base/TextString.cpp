#include "foundation/base/TextString.h"

#include "foundation/base/Memory.h"

#include <cwchar>
#include <cstring>

// --- storage ---------------------------------------------------------------------------------------------

C_String::C_String(uint32_t capacity) {
    Empty(capacity);
}

C_String::~C_String() {
    Free();
}

bool C_String::Reallocate(uint32_t units) {
    void* block = Memory::Reallocate(m_text, size_t(units) * sizeof(wchar_t));
    if (!block)
        return false;
    m_text = static_cast<wchar_t*>(block);
    m_capacity = units;
    m_lineCursor = m_tokenCursor = nullptr;
    return true;
}

bool C_String::SetCapacity(uint32_t units) {
    if (units == 0)
        units = 1;
    bool hadStorage = m_text != nullptr;
    if (!Reallocate(units)) {
        Memory::Release(m_text);
        m_text = nullptr;
        m_capacity = m_count = 0;
        return false;
    }
    if (!hadStorage || m_count == 0) {
        m_text[0] = 0;
        m_count = 1;
    } else if (m_count > units) {
        m_text[units - 1] = 0;
        m_count = units;
    }
    return true;
}

bool C_String::Empty(uint32_t units) {
    if (!SetCapacity(units))
        return false;
    m_text[0] = 0;
    m_count = 1;
    return true;
}

void C_String::Free() {
    Memory::Release(m_text);
    Memory::Release(m_narrow);
    m_text = nullptr;
    m_narrow = nullptr;
    m_lineCursor = m_tokenCursor = nullptr;
    m_capacity = m_count = 0;
}

bool C_String::Fail() {
    Empty(kDefaultCapacity);
    return false;
}

// Grows to grownCapacity when fewer than needed units are allocated. A string without storage (after a
// failure or Free) is brought back to an empty text first, so every operation starts from a valid state.
bool C_String::EnsureCapacity(uint32_t needed, uint32_t grownCapacity) {
    if (!m_text && !Empty(kDefaultCapacity))
        return false;
    if (m_capacity >= needed)
        return true;
    if (needed < m_count || grownCapacity < needed || !Reallocate(grownCapacity))
        return Fail();
    return true;
}

void C_String::Rescan() {
    m_count = m_text ? uint32_t(wcsnlen(m_text, m_capacity)) + 1 : 0;
}

void C_String::UpdateLength() {
    if (m_text && m_capacity)
        m_text[m_capacity - 1] = 0; // a caller that filled the whole buffer still gets a terminated text
    Rescan();
}

bool C_String::SetCount(uint32_t count) {
    if (count < 1 || count > m_capacity - 1 || !m_text)
        return false;
    m_count = count;
    m_text[count - 1] = 0;
    return true;
}

wchar_t* C_String::CopyTo(wchar_t* dest) const {
    if (!dest)
        return m_text;
    memcpy(dest, c_str(), (GetLength() + 1) * sizeof(wchar_t));
    return dest;
}

wchar_t C_String::GetAt(int index) const {
    return (m_text && index >= 0 && uint32_t(index) <= GetLength()) ? m_text[index] : 0;
}

wchar_t* C_String::SetAt(int index, wchar_t ch) {
    if (!m_text || index < 0 || uint32_t(index) >= GetLength())
        return nullptr;
    m_text[index] = ch;
    Rescan();
    return m_text;
}

// --- assignment and append -----------------------------------------------------------------------------

bool C_String::Assign(const wchar_t* text) {
    return Assign(text, text ? uint32_t(wcslen(text)) : 0);
}

bool C_String::Assign(const wchar_t* text, uint32_t units) {
    if (!text)
        units = 0;
    // The source may lie inside our own block, which a reallocation moves.
    bool inside = text && m_text && text >= m_text && text < m_text + m_capacity;
    size_t offset = inside ? size_t(text - m_text) : 0;
    if (units >= UINT32_MAX - 1 || !EnsureCapacity(units + 1, units + 1))
        return Fail();
    if (inside)
        text = m_text + offset;
    if (text)
        memmove(m_text, text, units * sizeof(wchar_t));
    m_text[units] = 0;
    Rescan();
    return true;
}

bool C_String::Assign(const char* narrowText) {
    return AssignMultiByte(narrowText, narrowText ? uint32_t(strlen(narrowText)) : 0, false, CP_ACP);
}

bool C_String::Assign(const C_String* other) {
    if (!other || other == this) {
        if (!other)
            return Fail();
        return true;
    }
    return Assign(other->m_text, other->GetLength());
}

bool C_String::AssignMultiByte(const char* bytes, uint32_t byteCount, bool rawBytes, UINT codePage) {
    for (;;) {
        if (byteCount >= UINT32_MAX - 1 || !EnsureCapacity(byteCount + 1, byteCount + 1))
            return Fail();
        if (!bytes) {
            m_text[0] = 0;
            m_count = 1;
            return true;
        }
        if (rawBytes) {
            for (uint32_t i = 0; i < byteCount; ++i)
                m_text[i] = wchar_t(static_cast<unsigned char>(bytes[i]));
            m_text[byteCount] = 0;
            Rescan();
            return true;
        }
        int produced = byteCount ? MultiByteToWideChar(codePage, 0, bytes, int(byteCount), m_text, int(m_capacity)) : 0;
        if (produced == 0 && byteCount > 0) {
            if (codePage != CP_ACP && GetLastError() == ERROR_INVALID_PARAMETER) {
                codePage = CP_ACP; // a code page the system does not know: fall back to the ANSI one
                continue;
            }
            return Fail();
        }
        if (uint32_t(produced) >= m_capacity)
            return Fail();
        m_text[produced] = 0;
        Rescan();
        return true;
    }
}

bool C_String::Append(const wchar_t* text) {
    return text ? Append(text, uint32_t(wcslen(text))) : true;
}

bool C_String::Append(const wchar_t* text, uint32_t units) {
    if (!text || units == 0)
        return true;
    bool inside = m_text && text >= m_text && text < m_text + m_capacity;
    size_t offset = inside ? size_t(text - m_text) : 0;
    uint32_t count = m_count ? m_count : 1;
    if (units > UINT32_MAX - count - 21)
        return Fail();
    uint32_t newCount = count + units;
    if (!EnsureCapacity(newCount, newCount + 20))
        return false;
    if (inside)
        text = m_text + offset;
    memmove(m_text + m_count - 1, text, units * sizeof(wchar_t));
    m_count = newCount;
    m_text[m_count - 1] = 0;
    return true;
}

bool C_String::Append(const char* narrowText) {
    if (!narrowText || !*narrowText)
        return true;
    uint32_t bytes = uint32_t(strlen(narrowText));
    uint32_t count = m_count ? m_count : 1;
    if (bytes > UINT32_MAX - count - 21)
        return Fail();
    // The byte length stands in for the character count: a conversion never yields more units than bytes.
    if (!EnsureCapacity(count + bytes, count + bytes + 20))
        return false;
    int produced =
        MultiByteToWideChar(CP_ACP, 0, narrowText, int(bytes), m_text + m_count - 1, int(m_capacity - m_count));
    if (produced <= 0)
        return Fail();
    m_count += uint32_t(produced);
    m_text[m_count - 1] = 0;
    return true;
}

bool C_String::AppendChar(wchar_t ch) {
    uint32_t count = m_count ? m_count : 1;
    if (!EnsureCapacity(count + 1, count + 21))
        return false;
    m_text[m_count - 1] = ch;
    m_text[m_count] = 0;
    ++m_count;
    return true;
}

bool C_String::AppendWithSeparator(const wchar_t* text, const wchar_t* separator) {
    if (!text || !*text)
        return true;
    if (GetLength() && !Append(separator))
        return false;
    return Append(text);
}

bool C_String::EnsureTrailingChar(wchar_t ch) {
    uint32_t length = GetLength();
    if (length && m_text[length - 1] == ch)
        return true;
    return AppendChar(ch);
}

void C_String::RemoveTrailingChar(wchar_t ch) {
    uint32_t length = GetLength();
    if (length && m_text[length - 1] == ch) {
        m_text[length - 1] = 0;
        --m_count;
    }
}

// --- cutting and editing -------------------------------------------------------------------------------

void C_String::Left(int n) {
    if (!m_text)
        return;
    int length = int(GetLength());
    n = n < 0 ? 0 : (n > length ? length : n);
    m_text[n] = 0;
    Rescan();
}

void C_String::Mid(int from) {
    Mid(from, int(GetLength()) - from);
}

void C_String::Mid(int from, int n) {
    if (!m_text)
        return;
    int length = int(GetLength());
    from = from < 0 ? 0 : (from > length ? length : from);
    n = n < 0 ? 0 : (n > length - from ? length - from : n);
    memmove(m_text, m_text + from, size_t(n) * sizeof(wchar_t));
    m_text[n] = 0;
    Rescan();
}

bool C_String::Insert(int index, const wchar_t* text) {
    if (!text || !*text)
        return true;
    uint32_t units = uint32_t(wcslen(text));
    uint32_t count = m_count ? m_count : 1;
    if (units > UINT32_MAX - count - 1)
        return Fail();
    if (!EnsureCapacity(count + units, count + units))
        return false;
    int length = int(GetLength());
    index = index < 0 ? 0 : (index > length ? length : index);
    memmove(m_text + index + units, m_text + index, (m_count - index) * sizeof(wchar_t));
    memcpy(m_text + index, text, units * sizeof(wchar_t));
    m_count += units;
    return true;
}

bool C_String::InsertChar(int index, wchar_t ch) {
    uint32_t count = m_count ? m_count : 1;
    if (!EnsureCapacity(count + 1, count + 1))
        return false;
    int length = int(GetLength());
    index = index < 0 ? 0 : (index > length ? length : index);
    memmove(m_text + index + 1, m_text + index, (m_count - index) * sizeof(wchar_t));
    m_text[index] = ch;
    ++m_count;
    Rescan();
    return true;
}

void C_String::Delete(int index, int n) {
    int length = int(GetLength());
    if (!m_text || index < 0 || index >= length || n <= 0)
        return;
    if (n > length - index)
        n = length - index;
    memmove(m_text + index, m_text + index + n, (m_count - index - n) * sizeof(wchar_t));
    m_count -= uint32_t(n);
}

static bool IsLocaleSpace(wchar_t ch) {
    WORD type = 0;
    return GetStringTypeExW(GetThreadLocale(), CT_CTYPE1, &ch, 1, &type) && (type & C1_SPACE);
}

static uint32_t CharacterUnits(const wchar_t* at) {
    return (IS_HIGH_SURROGATE(at[0]) && IS_LOW_SURROGATE(at[1])) ? 2 : 1;
}

void C_String::TrimLeft() {
    if (!m_text)
        return;
    uint32_t skip = 0;
    while (m_text[skip] && IsLocaleSpace(m_text[skip]))
        ++skip;
    if (skip) {
        memmove(m_text, m_text + skip, (m_count - skip) * sizeof(wchar_t));
        m_count -= skip;
    }
}

void C_String::TrimRight() {
    if (!m_text)
        return;
    wchar_t* runStart = nullptr;
    for (wchar_t* at = m_text; *at; at += CharacterUnits(at)) {
        if (IsLocaleSpace(*at)) {
            if (!runStart)
                runStart = at;
        } else {
            runStart = nullptr;
        }
    }
    if (runStart) {
        *runStart = 0;
        Rescan();
    }
}

void C_String::ReplaceChar(wchar_t from, wchar_t to) {
    for (uint32_t i = 0; i < GetLength(); ++i)
        if (m_text[i] == from)
            m_text[i] = to;
    if (to == 0)
        Rescan();
}

wchar_t* C_String::Replace(const wchar_t* find, const wchar_t* with, bool inPlace) {
    return ReplaceAll(find, with, inPlace ? REPLACE_IN_PLACE : REPLACE_EXACT);
}

wchar_t* C_String::ReplaceNoCase(const wchar_t* find, const wchar_t* with) {
    return ReplaceAll(find, with, REPLACE_IGNORE_CASE);
}

static bool ContainsText(const wchar_t* text, const wchar_t* find, bool ignoreCase) {
    if (!ignoreCase)
        return wcsstr(text, find) != nullptr;
    size_t n = wcslen(find);
    for (size_t length = wcslen(text), i = 0; i + n <= length; ++i)
        if (EqualsNoCase(text + i, find, uint32_t(n)))
            return true;
    return false;
}

// Every search starts again at the beginning of the text, so replacing two quotes by one collapses a whole
// run of quotes. A find text that is empty or contained in the replacement would never stop doing that;
// for those the search continues after the inserted text instead.
wchar_t* C_String::ReplaceAll(const wchar_t* find, const wchar_t* with, uint32_t replaceFlags) {
    if (!m_text || !find || !*find)
        return m_text;
    bool inPlace = (replaceFlags & REPLACE_IN_PLACE) != 0;
    bool ignoreCase = (replaceFlags & REPLACE_IGNORE_CASE) != 0;
    if (!with)
        with = L"";
    uint32_t findLength = uint32_t(wcslen(find));
    uint32_t withLength = uint32_t(wcslen(with));
    if (withLength > findLength)
        inPlace = false;
    bool restart = !ContainsText(with, find, ignoreCase);
    uint32_t from = 0;
    for (;;) {
        int at = ignoreCase ? FindNoCaseFrom(find, from) : -1;
        if (!ignoreCase) {
            const wchar_t* hit = from <= GetLength() ? wcsstr(m_text + from, find) : nullptr;
            at = hit ? int(hit - m_text) : -1;
        }
        if (at < 0)
            break;
        uint32_t tail = m_count - uint32_t(at) - findLength; // units after the match, terminator included
        if (inPlace) {
            memcpy(m_text + at, with, withLength * sizeof(wchar_t));
            memmove(m_text + at + withLength, m_text + at + findLength, tail * sizeof(wchar_t));
            m_count = m_count - findLength + withLength;
        } else {
            uint64_t wanted = uint64_t(m_capacity) + withLength - findLength;
            uint32_t capacity = uint32_t(wanted < kDefaultCapacity ? kDefaultCapacity : wanted);
            if (wanted > UINT32_MAX || capacity < m_count - findLength + withLength)
                capacity = m_count - findLength + withLength;
            auto* block = static_cast<wchar_t*>(Memory::Reallocate(nullptr, size_t(capacity) * sizeof(wchar_t)));
            if (!block) {
                Memory::Release(m_text);
                m_text = nullptr;
                m_capacity = m_count = 0;
                return nullptr;
            }
            memcpy(block, m_text, size_t(at) * sizeof(wchar_t));
            memcpy(block + at, with, withLength * sizeof(wchar_t));
            memcpy(block + at + withLength, m_text + at + findLength, tail * sizeof(wchar_t));
            Memory::Release(m_text);
            m_text = block;
            m_capacity = capacity;
            m_count = m_count - findLength + withLength;
            m_lineCursor = m_tokenCursor = nullptr;
        }
        from = restart ? 0 : uint32_t(at) + withLength;
    }
    Rescan();
    return m_text;
}

// --- search --------------------------------------------------------------------------------------------

bool EqualsNoCase(const wchar_t* a, const wchar_t* b, uint32_t units) {
    return units == 0 || CompareStringOrdinal(a, int(units), b, int(units), TRUE) == CSTR_EQUAL;
}

int C_String::FindChar(wchar_t ch, int start) const {
    if (!m_text || start < 0 || uint32_t(start) >= m_count)
        return -1;
    const wchar_t* hit = wcschr(m_text + start, ch);
    return hit && (ch || uint32_t(hit - m_text) < m_count) ? int(hit - m_text) : -1;
}

wchar_t* C_String::FindCharPtr(wchar_t ch) const {
    int at = FindChar(ch);
    return at < 0 ? nullptr : m_text + at;
}

int C_String::FindCharNoCase(wchar_t ch) const {
    for (uint32_t i = 0; i < GetLength(); i += CharacterUnits(m_text + i))
        if (EqualsNoCase(m_text + i, &ch, 1))
            return int(i);
    return -1;
}

int C_String::ReverseFindChar(wchar_t ch) const {
    if (!m_text)
        return -1;
    const wchar_t* hit = wcsrchr(m_text, ch);
    return hit ? int(hit - m_text) : -1;
}

int C_String::Find(const wchar_t* text) const {
    const wchar_t* hit = FindPtr(text);
    return hit ? int(hit - m_text) : -1;
}

wchar_t* C_String::FindPtr(const wchar_t* text) const {
    if (!m_text || !text)
        return nullptr;
    return const_cast<wchar_t*>(wcsstr(m_text, text));
}

int C_String::FindNoCaseFrom(const wchar_t* text, uint32_t start) const {
    if (!m_text || !text || start >= m_count)
        return -1;
    uint32_t n = uint32_t(wcslen(text));
    uint32_t length = GetLength();
    for (uint32_t i = start; i + n <= length; i += CharacterUnits(m_text + i))
        if (EqualsNoCase(m_text + i, text, n))
            return int(i);
    return -1;
}

int C_String::FindNoCase(const wchar_t* text, int start) const {
    return start < 0 ? -1 : FindNoCaseFrom(text, uint32_t(start));
}

wchar_t* C_String::FindNoCasePtr(const wchar_t* text, int start) const {
    int at = FindNoCase(text, start);
    return at < 0 ? nullptr : m_text + at;
}

int C_String::ExtractBetween(const wchar_t* startMarker, const wchar_t* endMarker, C_String* out, int from,
                             int limit) const {
    int start = startMarker ? FindNoCase(startMarker, from) : from;
    if (start < 0 || uint32_t(start) > GetLength() || (limit != -1 && start > limit))
        return -1;
    int contentStart = start + (startMarker ? int(wcslen(startMarker)) : 0);
    int end = endMarker ? FindNoCase(endMarker, contentStart) : int(GetLength());
    if (end < 0)
        return -1;
    if (out && !out->Assign(m_text + contentStart, uint32_t(end - contentStart)))
        return -1;
    return end;
}

int C_String::Compare(const wchar_t* text) const {
    if (!text)
        return GetLength() ? -1 : 0;
    int result = wcscmp(c_str(), text);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

static int OrdinalNoCase(const wchar_t* a, int aUnits, const wchar_t* b, int bUnits) {
    return CompareStringOrdinal(a, aUnits, b, bUnits, TRUE) - CSTR_EQUAL;
}

int C_String::CompareNoCase(const wchar_t* text) const {
    if (!text)
        return GetLength() ? -1 : 0;
    return OrdinalNoCase(c_str(), -1, text, -1);
}

int C_String::CompareNoCase(const wchar_t* text, uint32_t units) const {
    if (!text)
        return GetLength() ? -1 : 0;
    int a = int(wcsnlen(c_str(), units));
    int b = int(wcsnlen(text, units));
    return OrdinalNoCase(c_str(), a, text, b);
}

// --- conversion and formatting -------------------------------------------------------------------------

const char* C_String::ToMultiByte(bool rawBytes) {
    Memory::Release(m_narrow);
    m_narrow = nullptr;
    if (!m_text)
        return nullptr;
    if (rawBytes) {
        m_narrow = static_cast<char*>(Memory::Reallocate(nullptr, m_count));
        if (m_narrow)
            for (uint32_t i = 0; i < m_count; ++i)
                m_narrow[i] = char(m_text[i]);
        return m_narrow;
    }
    size_t bytes = size_t(m_count) * 2;
    m_narrow = static_cast<char*>(Memory::Reallocate(nullptr, bytes));
    if (m_narrow && !WideCharToMultiByte(CP_ACP, 0, m_text, int(m_count), m_narrow, int(bytes), nullptr, nullptr)) {
        Memory::Release(m_narrow);
        m_narrow = nullptr;
    }
    return m_narrow;
}

bool C_String::DecodeTo(C_String& out, UINT codePage) const {
    uint32_t length = GetLength();
    uint32_t size = length + 2 > kDefaultCapacity ? length + 2 : kDefaultCapacity;
    if (!out.Empty(size))
        return false;
    if (!length)
        return true;
    char* bytes = static_cast<char*>(Memory::Reallocate(nullptr, length));
    if (!bytes)
        return false;
    for (uint32_t i = 0; i < length; ++i)
        bytes[i] = char(m_text[i]);
    int produced = MultiByteToWideChar(codePage, 0, bytes, int(length), out.m_text, int(out.m_capacity - 1));
    Memory::Release(bytes);
    if (produced <= 0)
        return false;
    out.m_text[produced] = 0;
    out.Rescan();
    return true;
}

bool C_String::EncodeTo(C_String& out, UINT codePage) const {
    if (!out.Empty(GetLength() * 3 + 1 > kDefaultCapacity ? GetLength() * 3 + 1 : kDefaultCapacity))
        return false;
    uint32_t length = GetLength();
    if (!length)
        return true;
    size_t scratchSize = size_t(m_count) * 3;
    char* scratch = static_cast<char*>(Memory::Reallocate(nullptr, scratchSize));
    if (!scratch)
        return false;
    int bytes = WideCharToMultiByte(codePage, 0, m_text, int(length), scratch, int(scratchSize), nullptr, nullptr);
    bool ok = bytes > 0 && out.AssignMultiByte(scratch, uint32_t(bytes), true, 0);
    Memory::Release(scratch);
    return ok;
}

bool C_String::Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = FormatV(format, args);
    va_end(args);
    return ok;
}

// Growth while the result does not fit: by 260 units up to 10,240, then by 10,240, refused from 3,145,728 on.
uint32_t C_String::FormatCapacity(uint32_t capacity, uint32_t resultLength) {
    while (capacity == 0 || capacity - 1 < resultLength) {
        if (capacity >= kFormatLimit)
            return 0;
        capacity += capacity <= 10240 ? 260 : 10240;
    }
    return capacity;
}

// The grown capacity is computed from the result's length instead of by formatting again after every
// step; the capacity and result are those of the step-by-step rule.
bool C_String::FormatV(const wchar_t* format, va_list args) {
    if (!format)
        return Assign(L"");
    if (!m_text && !Empty(kDefaultCapacity))
        return false;
    va_list copy;
    va_copy(copy, args);
    int needed = _vscwprintf(format, copy);
    va_end(copy);
    if (needed < 0)
        return Fail();
    uint32_t capacity = FormatCapacity(m_capacity, uint32_t(needed));
    if (capacity == 0)
        return Fail();
    if (capacity != m_capacity) {
        if (!Reallocate(capacity))
            return Fail();
        memset(m_text, 0, size_t(capacity) * sizeof(wchar_t));
    }
    va_copy(copy, args);
    int written = _vsnwprintf(m_text, m_capacity - 1, format, copy);
    va_end(copy);
    if (written < 0)
        return Fail();
    m_text[written] = 0;
    Rescan();
    return true;
}

// --- tokens and lines ----------------------------------------------------------------------------------

wchar_t* C_String::Tokenize(bool first, const wchar_t* delimiters) {
    if (!m_text || !delimiters)
        return nullptr;
    wchar_t* at = first ? m_text : m_tokenCursor;
    if (!at)
        return nullptr;
    at += wcsspn(at, delimiters);
    if (!*at) {
        m_tokenCursor = nullptr;
        return nullptr;
    }
    wchar_t* end = at + wcscspn(at, delimiters);
    if (*end) {
        *end = 0;
        m_tokenCursor = end + 1;
    } else {
        m_tokenCursor = end;
    }
    Rescan();
    return at;
}

bool C_String::SplitFirst(C_String& out, const wchar_t* delimiters, uint32_t splitFlags) {
    uint32_t position = 0;
    if (!SplitNext(position, out, delimiters, splitFlags))
        return false;
    Assign(m_text + position, GetLength() - position);
    return true;
}

bool C_String::SplitNext(uint32_t& position, C_String& out, const wchar_t* delimiters, uint32_t splitFlags) const {
    if (!m_text || position >= GetLength())
        return false;
    const wchar_t* at = m_text + position;
    if (!(splitFlags & SPLIT_NO_SKIP))
        at += wcsspn(at, delimiters);
    if (!*at)
        return false;
    const wchar_t* end = at;
    if (*end == L'"') {
        for (++end; *end && !(*end == L'"' && end[-1] != L'\\'); ++end) {
        }
        if (*end)
            ++end;
    }
    end += wcscspn(end, delimiters);
    uint32_t tokenLength = uint32_t(end - at);
    if (!(splitFlags & SPLIT_KEEP_QUOTES) && tokenLength >= 2 && at[0] == L'"' && at[tokenLength - 1] == L'"') {
        ++at;
        tokenLength -= 2;
    }
    if (!out.Assign(at, tokenLength))
        return false;
    if (*end)
        ++end;
    position = uint32_t(end - m_text);
    return true;
}

bool C_String::ReadLine(C_String& out) {
    if (!m_text || !m_lineCursor)
        return false;
    const wchar_t* at = m_lineCursor;
    if (!at[wcsspn(at, L"\r")])
        return false; // nothing but carriage returns remains
    const wchar_t* lineFeed = wcschr(at, L'\n');
    const wchar_t* end = lineFeed ? lineFeed : at + wcslen(at);
    const wchar_t* textEnd = end;
    if (textEnd > at && textEnd[-1] == L'\r')
        --textEnd;
    out.Assign(at, uint32_t(textEnd - at));
    m_lineCursor = const_cast<wchar_t*>(lineFeed ? lineFeed + 1 : end);
    return true;
}

// --- free functions ------------------------------------------------------------------------------------

void TrimTrailingBlanks(wchar_t* text) {
    for (size_t n = wcslen(text); n > 0 && text[n - 1] == L' '; --n)
        text[n - 1] = 0;
}

void LineBreaksToSpaces(wchar_t* text) {
    for (; *text; ++text)
        if (*text == L'\r' || *text == L'\n')
            *text = L' ';
}

void StripQuotes(wchar_t* text) {
    size_t n = wcslen(text);
    if (n > 1 && text[0] == L'"' && text[n - 1] == L'"') {
        memmove(text, text + 1, (n - 2) * sizeof(wchar_t));
        text[n - 2] = 0;
    }
}

void CutExtension(wchar_t* text, int maxLength) {
    wchar_t* dot = wcsrchr(text, L'.');
    if (dot && int(wcslen(dot + 1)) <= maxLength)
        *dot = 0;
}

bool WideToAnsi(const wchar_t* text, char* dest, int size) {
    if (!text || !dest || size <= 0)
        return false;
    return WideCharToMultiByte(CP_ACP, 0, text, -1, dest, size, nullptr, nullptr) > 0;
}

const wchar_t* SkipFirstArgument(const wchar_t* commandLine) {
    bool quoted = false;
    for (; *commandLine; ++commandLine) {
        if (*commandLine == L'"')
            quoted = !quoted;
        else if (*commandLine == L' ' && !quoted)
            return commandLine + 1;
    }
    return commandLine;
}

const wchar_t* FileNameOf(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; ++at)
        if ((*at == L'\\' || *at == L'/') && at[1])
            name = at + 1;
    return name;
}

void GetExtension(const wchar_t* path, C_String& out) {
    out.Assign(L"");
    const wchar_t* dot = nullptr;
    const wchar_t* at = path;
    for (; *at && *at != L'?'; ++at) {
        if (*at == L'.')
            dot = at;
        else if (dot && (*at == L' ' || *at == L'/' || *at == L'\\'))
            dot = nullptr;
    }
    if (dot)
        out.Assign(dot, uint32_t(at - dot));
}

bool RemoveFileName(wchar_t* path) {
    wchar_t* cut = nullptr;
    for (wchar_t* at = path; *at; ++at) {
        if ((*at == L'\\' || *at == L'/') && at != path && !(at == path + 1 && (path[0] == L'\\' || path[0] == L'/')))
            cut = at;
        else if (*at == L':' && !(at[1] == L'\\' || at[1] == L'/'))
            return false;
    }
    if (!cut) {
        bool leadingOnly = path[0] == L'\\' || path[0] == L'/';
        if (!leadingOnly)
            path[0] = 0;
        return false;
    }
    if (cut > path && cut[-1] == L':')
        ++cut; // keep a drive root such as C:\ whole
    *cut = 0;
    return true;
}
