#include "velto-cli/run/ReceivedText.h"

#include "connection/threads/Event.h"

#include <new>

namespace {

bool IsLowSurrogate(wchar_t ch) {
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

// Never leaves half a character at the front.
size_t WholeCharacterCut(const std::wstring& text, size_t cut) {
    while (cut < text.size() && IsLowSurrogate(text[cut]))
        ++cut;
    return cut;
}

void KeepNewest(std::wstring& text, size_t limit) {
    if (text.size() > limit)
        text.erase(0, WholeCharacterCut(text, text.size() - limit));
}

} // namespace

void C_ExpectText::Append(const std::wstring& text) {
    m_text += text;
    // Dropped a quarter at a time, so a flood costs one move per quarter rather than one per block.
    if (m_text.size() > kMaxHeld)
        DropOldest(m_text.size() - kMaxHeld + kMaxHeld / 4);
}

void C_ExpectText::Consume(size_t end) {
    m_text.erase(0, end < m_text.size() ? end : m_text.size());
    m_searched = 0;
}

void C_ExpectText::DropOldest(size_t count) {
    count = WholeCharacterCut(m_text, count);
    m_text.erase(0, count);
    m_searched = m_searched > count ? m_searched - count : 0;
}

bool C_ExpectText::Search(const std::wregex& pattern, const std::wstring& text, size_t from, size_t& begin,
                          size_t& end) {
    using namespace std::regex_constants;
    const size_t size = text.size();
    for (size_t at = from; at < size;) {
        const size_t stop = size - at > kWindow ? at + kWindow : size;
        match_flag_type flags = match_default;
        if (at > 0)
            flags |= match_prev_avail;
        // Only the real end of the text is an end: a window's edge is not a line end or a word's end.
        if (stop < size)
            flags |= match_not_eol | match_not_eow;
        std::wsmatch match;
        if (std::regex_search(text.begin() + std::ptrdiff_t(at), text.begin() + std::ptrdiff_t(stop), match, pattern,
                              flags)) {
            begin = size_t(match[0].first - text.begin());
            end = size_t(match[0].second - text.begin());
            return true;
        }
        if (stop == size)
            break;
        at = stop - kMaxMatchLength;
    }
    return false;
}

C_ReceivedText::C_ReceivedText() : m_arrived(CreateAutoResetEvent()) {}

void C_ReceivedText::AppendToLog(const wchar_t* text, uint32_t length) {
    if (!text || !length)
        return;
    {
        C_Lock hold(m_lock);
        // On the reader thread nothing may escape; text that finds no memory is lost to matching only.
        try {
            m_new.append(text, length);
            KeepNewest(m_new, C_ExpectText::kMaxHeld);
            m_tail.append(text, length);
            KeepNewest(m_tail, kTailLength);
        } catch (const std::bad_alloc&) {
            m_new.clear();
        }
    }
    SetEvent(m_arrived.Get());
}

void C_ReceivedText::MoveInto(C_ExpectText& expect) {
    std::wstring arrived;
    {
        C_Lock hold(m_lock);
        arrived.swap(m_new);
    }
    if (!arrived.empty())
        expect.Append(arrived);
}

std::wstring C_ReceivedText::Tail() {
    C_Lock hold(m_lock);
    return m_tail;
}
