#pragma once
// Finds web links in text as it is stored: a run of link characters of the form scheme ':' then '/' or '\'
// then '.'. It sees one character at a time with the cell it was stored in; when a run ends after all four
// steps, it reports the cells of the link so the store can flag them.
#include <cstdint>

class C_LinkDetector {
public:
    struct Range {
        uint32_t begin = 0; // first cell of the link
        uint32_t end = 0;   // one past its last cell; begin == end means nothing to flag
    };

    // Takes the character stored in the given cell. Returns a non-empty range when this character ended a
    // complete link.
    Range Take(wchar_t ch, uint32_t cell) {
        if (!IsLinkCharacter(ch))
            return Finish(cell);
        if (m_state != kComplete && (ch == L'=' || ch == L'\'')) {
            m_state = kIdle;
            return {};
        }
        Advance(ch, cell);
        return {};
    }

    // The run ends before the given cell (a line feed, or a character that cannot belong to a link).
    Range Finish(uint32_t endCell) {
        Range range;
        if (m_state == kComplete && endCell > m_start)
            range = {m_start, endCell};
        m_state = kIdle;
        return range;
    }

    void Reset() { m_state = kIdle; }
    int GetState() const { return m_state; }

    static bool IsLinkCharacter(wchar_t ch) {
        if (ch >= 0x80)
            return false;
        if ((ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z'))
            return true;
        switch (ch) {
        case L'#': case L'&': case L'\'': case L'-': case L'.': case L'/': case L':': case L';':
        case L'=': case L'?': case L'@': case L'\\': case L'_':
            return true;
        default:
            return false;
        }
    }

private:
    enum State { kIdle = 0, kScheme = 1, kColon = 2, kSlash = 3, kComplete = 4 };

    void Advance(wchar_t ch, uint32_t cell) {
        switch (m_state) {
        case kIdle:
            m_start = cell;
            m_state = kScheme;
            break;
        case kScheme:
            if (ch == L':')
                m_state = kColon;
            break;
        case kColon:
            if (ch == L'/' || ch == L'\\')
                m_state = kSlash;
            break;
        case kSlash:
            if (ch == L'.')
                m_state = kComplete;
            break;
        default:
            break;
        }
    }

    int m_state = kIdle;
    uint32_t m_start = 0;
};
