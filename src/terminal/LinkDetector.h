#pragma once
// Finds web links in text as it is stored: a run of link characters of the form scheme ':' then '/' or '\'
// then '.'. It sees the characters with the cells they were stored in; when a run ends after all four
// steps, it reports the cells of the link so the store can flag them.
#include <cstdint>

namespace LinkText {

// What a character means to the detector.
enum Class : uint8_t {
    kOther = 0, // cannot belong to a link: ends one
    kPlain,     // digits, ASCII letters and # & - ; ? @ _
    kColon,     // ':'
    kSlash,     // '/' or '\'
    kDot,       // '.'
    kBreak,     // '=' or a single quote: restarts detection unless the link is already complete
};

struct ClassTable {
    uint8_t of[0x80];
    constexpr ClassTable() : of() {
        for (int ch = '0'; ch <= '9'; ++ch)
            of[ch] = kPlain;
        for (int ch = 'a'; ch <= 'z'; ++ch)
            of[ch] = of[ch - 'a' + 'A'] = kPlain;
        const char plain[] = "#&-;?@_";
        for (const char* p = plain; *p; ++p)
            of[int(*p)] = kPlain;
        of[int(':')] = kColon;
        of[int('/')] = of[int('\\')] = kSlash;
        of[int('.')] = kDot;
        of[int('=')] = of[int('\'')] = kBreak;
    }
};
constexpr ClassTable kClasses{};

inline Class ClassOf(wchar_t ch) {
    return ch < 0x80 ? Class(kClasses.of[ch]) : kOther;
}

} // namespace LinkText

class C_LinkDetector {
public:
    struct Range {
        uint32_t begin = 0; // first cell of the link
        uint32_t end = 0;   // one past its last cell; begin == end means nothing to flag
    };

    // Takes the character stored in the given cell. Returns a non-empty range when this character ended a
    // complete link.
    Range Take(wchar_t ch, uint32_t cell) {
        Range range;
        TakeRun(&ch, 1, cell, [&range](Range found) { range = found; });
        return range;
    }

    // Takes characters stored in consecutive cells from firstCell on, calling flag(range) for every link
    // they complete. The state lives in locals so the compiler keeps it in registers.
    template <class Flag> void TakeRun(const wchar_t* text, uint32_t count, uint32_t firstCell, Flag flag) {
        int state = m_state;
        uint32_t start = m_start;
        for (uint32_t i = 0; i < count; ++i) {
            LinkText::Class type = LinkText::ClassOf(text[i]);
            if (type == LinkText::kOther) {
                if (state == kComplete && firstCell + i > start)
                    flag(Range{start, firstCell + i});
                state = kIdle;
            } else if (state == kComplete) {
                continue;
            } else if (type == LinkText::kBreak) {
                state = kIdle;
            } else if (state == kIdle) {
                start = firstCell + i;
                state = kScheme;
            } else if (int(type) == state + 1) { // ':' after the scheme, '/' after ':', '.' after '/'
                ++state;
            }
        }
        m_state = state;
        m_start = start;
    }

    // The run ends before the given cell (a line feed).
    Range Finish(uint32_t endCell) {
        Range range;
        if (m_state == kComplete && endCell > m_start)
            range = {m_start, endCell};
        m_state = kIdle;
        return range;
    }

    void Reset() { m_state = kIdle; }
    // The store dropped its first cells: a link under way that began in them begins at the first one kept.
    void MoveDown(uint32_t cells) { m_start = m_start > cells ? m_start - cells : 0; }
    int GetState() const { return m_state; }

    static bool IsLinkCharacter(wchar_t ch) { return LinkText::ClassOf(ch) != LinkText::kOther; }

private:
    // Each state waits for the class numbered one above it.
    enum State { kIdle = 0, kScheme = 1, kColon = 2, kSlash = 3, kComplete = 4 };
    static_assert(LinkText::kColon == kScheme + 1 && LinkText::kSlash == kColon + 1 && LinkText::kDot == kSlash + 1,
                  "the states follow the classes");

    int m_state = kIdle;
    uint32_t m_start = 0;
};
