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

// Progress through a link: each state waits for the class numbered one above it.
enum State : uint8_t { kIdle = 0, kScheme = 1, kAfterColon = 2, kAfterSlash = 3, kComplete = 4 };
static_assert(kColon == kScheme + 1 && kSlash == kAfterColon + 1 && kDot == kAfterSlash + 1, "states follow classes");

// The next state for each state and character class: any other character ends a link, a complete link takes
// every link character, a break restarts, a link character starts a scheme, and ':', '/', '.' in turn
// advance it. Kept per class as five 3-bit fields, one per state, so a step is a shift of a value that does
// not depend on the state (no load waits for the state of the character before).
constexpr uint32_t NextState(int state, int type) {
    if (type == kOther)
        return kIdle;
    if (state == kComplete)
        return kComplete;
    if (type == kBreak)
        return kIdle;
    if (state == kIdle)
        return kScheme;
    return type == state + 1 ? uint32_t(state + 1) : uint32_t(state);
}
struct TransitionTable {
    uint32_t byClass[6];
    constexpr TransitionTable() : byClass() {
        for (int type = 0; type < 6; ++type)
            for (int state = 0; state < 5; ++state)
                byClass[type] |= NextState(state, type) << (3 * state);
    }
};
constexpr TransitionTable kTransitions{};

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
    // they complete. Before a link's ':' nothing can complete, so those stretches are skipped to the next
    // ':' and only the word that ends there matters. Elsewhere one table step per character and no branch
    // but the rare completed link: garbled input changes class at nearly every character, which a chain of
    // tests would mispredict each time. The state lives in locals so the compiler keeps it in registers.
    template <class Flag> void TakeRun(const wchar_t* text, uint32_t count, uint32_t firstCell, Flag flag) {
        uint32_t state = uint32_t(m_state);
        uint32_t start = m_start;
        for (uint32_t i = 0; i < count;) {
            if (state <= kScheme) {
                uint32_t colon = i;
                while (colon < count && text[colon] != L':')
                    ++colon;
                // The scheme candidate is the word of link characters just before the ':' (or the end); a
                // word reaching back to i continues the scheme under way.
                uint32_t word = colon;
                while (word > i && IsLinkWordCharacter(text[word - 1]))
                    --word;
                if (word < colon) {
                    if (word > i || state == kIdle)
                        start = firstCell + word;
                    state = kScheme;
                } else if (colon > i) {
                    state = kIdle;
                }
                i = colon;
                if (i == count)
                    break;
            }
            wchar_t ch = text[i];
            uint32_t type = LinkText::kClasses.of[ch & 0x7F];
            type = ch < 0x80 ? type : uint32_t(LinkText::kOther);
            uint32_t next = LinkText::kTransitions.byClass[type] >> (3 * state) & 7;
            uint32_t cell = firstCell + i;
            start = state == kIdle && next == kScheme ? cell : start;
            if (state == kComplete && type == LinkText::kOther && cell > start)
                flag(Range{start, cell});
            state = next;
            ++i;
        }
        m_state = int(state);
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
    // A character that keeps a scheme going: a link character other than '=' and a single quote.
    static bool IsLinkWordCharacter(wchar_t ch) {
        LinkText::Class type = LinkText::ClassOf(ch);
        return type != LinkText::kOther && type != LinkText::kBreak;
    }

private:
    static constexpr int kIdle = LinkText::kIdle;
    static constexpr int kScheme = LinkText::kScheme;
    static constexpr int kComplete = LinkText::kComplete;

    int m_state = kIdle;
    uint32_t m_start = 0;
};
