#pragma once
// What the search bar's text looks for in the hex view. The text is always taken as its characters (their UTF-8
// bytes, ASCII letters in either case unless the case must match); when it is written as hex pairs ("0d 0a",
// "DEADBEEF", "0x1B 0x5B"), it also stands for those bytes. A search finds whichever of the two comes first.
// Window-free.
#include "terminal/bytes/ByteJournal.h"

#include <cstdint>
#include <vector>

namespace HexSearch {

struct Patterns {
    std::vector<uint8_t> characters;
    std::vector<uint8_t> bytes; // empty when the text is not hex pairs
    bool matchCase = false;
};

// False for an empty text.
bool Parse(const wchar_t* text, bool matchCase, Patterns& patterns);

// The hex pairs a text spells, blanks between them allowed and "0x" in front of each group; false when the text
// is anything else.
bool ParseHexPairs(const wchar_t* text, std::vector<uint8_t>& bytes);

struct Match {
    int64_t position; // -1: none
    uint32_t length;
};

// Forward: the first match at or after from; backward: the last one starting before from.
Match Find(C_ByteJournal& journal, const Patterns& patterns, uint64_t from, bool backward);

} // namespace HexSearch
