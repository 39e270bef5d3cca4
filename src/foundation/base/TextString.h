#pragma once
// C_String: the UTF-16 text string used for all text in the program. It always holds a zero terminator,
// has an explicit capacity, and reports failure by its result instead of throwing. After a failed growth the
// string falls back to an empty text with the default capacity, so callers can go on using it.
#include <windows.h>

#include <cstdarg>
#include <cstdint>

class C_String {
public:
    static constexpr uint32_t kDefaultCapacity = 260;
    static constexpr uint32_t kFormatLimit = 0x300000; // units; a format result beyond this is refused

    C_String() : C_String(kDefaultCapacity) {}
    explicit C_String(uint32_t capacity);
    ~C_String();
    C_String(const C_String&) = delete;
    C_String& operator=(const C_String&) = delete;

    // Storage.
    bool SetCapacity(uint32_t units);
    bool Empty(uint32_t units = kDefaultCapacity);
    void Free();
    uint32_t GetLength() const { return m_count ? m_count - 1 : 0; }
    uint32_t GetCapacity() const { return m_capacity ? m_capacity - 1 : 0; }
    wchar_t* GetBuffer() { return m_text; }
    const wchar_t* GetBuffer() const { return m_text; }
    const wchar_t* c_str() const { return m_text ? m_text : L""; }
    bool IsEmpty() const { return GetLength() == 0; }
    void UpdateLength();
    bool SetCount(uint32_t count);
    wchar_t* CopyTo(wchar_t* dest) const;
    wchar_t GetAt(int index) const;
    wchar_t* SetAt(int index, wchar_t ch);

    // Assignment and append.
    bool Assign(const wchar_t* text);
    bool Assign(const wchar_t* text, uint32_t units);
    bool Assign(const char* narrowText);
    bool Assign(const C_String& other) { return Assign(&other); }
    bool Assign(const C_String* other);
    bool AssignMultiByte(const char* bytes, uint32_t byteCount, bool rawBytes, UINT codePage);
    bool Append(const wchar_t* text);
    bool Append(const wchar_t* text, uint32_t units);
    bool Append(const char* narrowText);
    bool Append(const C_String& other) { return Append(other.m_text, other.GetLength()); }
    bool AppendChar(wchar_t ch);
    bool AppendByte(unsigned char byte) { return AppendChar(wchar_t(byte)); }
    bool AppendWithSeparator(const wchar_t* text, const wchar_t* separator);
    bool EnsureTrailingChar(wchar_t ch);
    void RemoveTrailingChar(wchar_t ch);

    // Cutting and editing.
    void Left(int n);
    void Mid(int from);
    void Mid(int from, int n);
    bool Insert(int index, const wchar_t* text);
    bool InsertChar(int index, wchar_t ch);
    void Delete(int index, int n);
    void TrimLeft();
    void TrimRight();
    void Trim() {
        TrimRight();
        TrimLeft();
    }
    void ReplaceChar(wchar_t from, wchar_t to);
    wchar_t* Replace(const wchar_t* find, const wchar_t* with, bool inPlace = false);
    wchar_t* ReplaceNoCase(const wchar_t* find, const wchar_t* with);

    // Search: character indexes, -1 when not found.
    int FindChar(wchar_t ch) const { return FindChar(ch, 0); }
    int FindChar(wchar_t ch, int start) const;
    wchar_t* FindCharPtr(wchar_t ch) const;
    int FindCharNoCase(wchar_t ch) const;
    int ReverseFindChar(wchar_t ch) const;
    int Find(const wchar_t* text) const;
    wchar_t* FindPtr(const wchar_t* text) const;
    int FindNoCase(const wchar_t* text, int start = 0) const;
    wchar_t* FindNoCasePtr(const wchar_t* text, int start = 0) const;
    int ExtractBetween(const wchar_t* startMarker, const wchar_t* endMarker, C_String* out, int from = 0,
                       int limit = -1) const;
    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text, uint32_t units) const;

    // Conversion and formatting.
    const char* ToMultiByte(bool rawBytes = false);
    bool DecodeUtf8To(C_String& out) const { return DecodeTo(out, CP_UTF8); }
    bool DecodeTo(C_String& out, UINT codePage) const;
    bool EncodeUtf8To(C_String& out) const { return EncodeTo(out, CP_UTF8); }
    bool EncodeTo(C_String& out, UINT codePage) const;
    bool Format(const wchar_t* format, ...);
    bool FormatV(const wchar_t* format, va_list args);
    // The capacity Format ends with for a result of the given length, starting from capacity; 0 when the
    // result is too long to be formatted at all.
    static uint32_t FormatCapacity(uint32_t capacity, uint32_t resultLength);

    // Tokens and lines.
    wchar_t* Tokenize(bool first, const wchar_t* delimiters);
    // SplitFirst cuts the first token off the front: leading delimiters are skipped and a token enclosed in
    // double quotes loses them, unless the flags say otherwise.
    enum SplitFlags : uint32_t {
        SPLIT_DEFAULT = 0,
        SPLIT_NO_SKIP = 0x1,     // a leading delimiter ends an empty first token
        SPLIT_KEEP_QUOTES = 0x2, // the enclosing double quotes stay part of the token
    };
    bool SplitFirst(C_String& out, const wchar_t* delimiters, uint32_t splitFlags = SPLIT_DEFAULT);
    // SplitNext reads the token at position as SplitFirst would cut it, leaving the string as it is, and moves
    // position past the token and one delimiter. Taking a whole text apart this way costs time in proportion
    // to its length, where SplitFirst copies the rest of the text for every token.
    bool SplitNext(uint32_t& position, C_String& out, const wchar_t* delimiters,
                   uint32_t splitFlags = SPLIT_DEFAULT) const;
    void RewindLines() { m_lineCursor = m_text; }
    bool ReadLine(C_String& out);

private:
    bool Reallocate(uint32_t units); // exact size; on failure the storage is kept
    bool EnsureCapacity(uint32_t needed, uint32_t grownCapacity);
    bool Fail(); // the standard recovery: Empty (260), result false
    void Rescan();
    enum ReplaceFlags : uint32_t { REPLACE_EXACT = 0, REPLACE_IN_PLACE = 0x1, REPLACE_IGNORE_CASE = 0x2 };
    wchar_t* ReplaceAll(const wchar_t* find, const wchar_t* with, uint32_t replaceFlags);
    int FindNoCaseFrom(const wchar_t* text, uint32_t start) const;

    wchar_t* m_text = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
    char* m_narrow = nullptr;
    wchar_t* m_lineCursor = nullptr;
    wchar_t* m_tokenCursor = nullptr;
};

// Free functions on zero-terminated wide text; they change the text in place where that is their purpose.
void TrimTrailingBlanks(wchar_t* text);
void LineBreaksToSpaces(wchar_t* text);
void StripQuotes(wchar_t* text);
void CutExtension(wchar_t* text, int maxLength);
bool WideToAnsi(const wchar_t* text, char* dest, int size);
const wchar_t* SkipFirstArgument(const wchar_t* commandLine);
const wchar_t* FileNameOf(const wchar_t* path);
void GetExtension(const wchar_t* path, C_String& out);
bool RemoveFileName(wchar_t* path);

// Ordinal comparison of n units ignoring case, by the system's upper-case table (not a linguistic one).
bool EqualsNoCase(const wchar_t* a, const wchar_t* b, uint32_t units);
