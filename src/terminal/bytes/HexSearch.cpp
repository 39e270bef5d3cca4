#include "terminal/bytes/HexSearch.h"

#include <windows.h>

namespace HexSearch {
namespace {

int HexValue(wchar_t digit) {
    if (digit >= L'0' && digit <= L'9')
        return digit - L'0';
    if (digit >= L'a' && digit <= L'f')
        return digit - L'a' + 10;
    if (digit >= L'A' && digit <= L'F')
        return digit - L'A' + 10;
    return -1;
}

bool IsBlank(wchar_t character) {
    return character == L' ' || character == L'\t';
}

} // namespace

bool ParseHexPairs(const wchar_t* text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    for (const wchar_t* at = text; at && *at;) {
        if (IsBlank(*at)) {
            ++at;
            continue;
        }
        if (at[0] == L'0' && (at[1] == L'x' || at[1] == L'X') && HexValue(at[2]) >= 0)
            at += 2;
        // A group of pairs up to the next blank.
        for (; *at && !IsBlank(*at); at += 2) {
            const int high = HexValue(at[0]);
            const int low = high < 0 ? -1 : HexValue(at[1]);
            if (low < 0)
                return false;
            bytes.push_back(uint8_t(high << 4 | low));
        }
    }
    return !bytes.empty();
}

bool Parse(const wchar_t* text, bool matchCase, Patterns& patterns) {
    patterns = Patterns{};
    patterns.matchCase = matchCase;
    if (!text || !*text)
        return false;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size > 1) {
        patterns.characters.resize(size_t(size));
        WideCharToMultiByte(CP_UTF8, 0, text, -1, reinterpret_cast<char*>(patterns.characters.data()), size, nullptr,
                            nullptr);
        patterns.characters.pop_back(); // the terminating zero
    }
    ParseHexPairs(text, patterns.bytes);
    return !patterns.characters.empty() || !patterns.bytes.empty();
}

Match Find(C_ByteJournal& journal, const Patterns& patterns, uint64_t from, bool backward) {
    Match best{-1, 0};
    const uint32_t direction =
        backward ? uint32_t(C_ByteJournal::FIND_BACKWARD) : uint32_t(C_ByteJournal::FIND_FORWARD);
    auto consider = [&](const std::vector<uint8_t>& pattern, uint32_t flags) {
        if (pattern.empty())
            return;
        const int64_t found = journal.Find(pattern.data(), uint32_t(pattern.size()), from, flags | direction);
        const bool nearer = best.position < 0 || (backward ? found > best.position : found < best.position);
        if (found >= 0 && nearer)
            best = {found, uint32_t(pattern.size())};
    };
    consider(patterns.characters, patterns.matchCase ? 0u : uint32_t(C_ByteJournal::FIND_IGNORE_ASCII_CASE));
    consider(patterns.bytes, 0);
    return best;
}

} // namespace HexSearch
