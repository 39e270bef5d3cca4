#pragma once
// The received text as a script's expect steps see it: what the receive assembly hands on (escape sequences
// interpreted, lines ending in \n), with no stamps and no filter in it, since the matching side has an
// assembly of its own.
//
// C_ReceivedText is where the reader thread delivers it; the runner takes it over on its own thread into a
// C_ExpectText, the text since the previous match, which the searches work through. Both are bounded: a board
// that floods the line for hours while a script waits costs at most kMaxHeld characters.
#include "platform/system/Handles.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <cstddef>
#include <regex>
#include <string>

class C_ExpectText {
public:
    static constexpr size_t kMaxHeld = 1u << 20; // characters; older ones are dropped
    // A match is found whatever blocks the text arrived in, as long as it spans at most this many characters:
    // each search looks at most at kWindow characters at once, which bounds its time and its depth of
    // backtracking, and successive windows overlap by the longest match.
    static constexpr size_t kMaxMatchLength = 4096;
    static constexpr size_t kWindow = 2 * kMaxMatchLength;

    void Append(const std::wstring& text);
    const std::wstring& Text() const { return m_text; }

    // A new pattern searches everything held again.
    void BeginPattern() { m_searched = 0; }
    bool HasUnsearched() const { return m_searched < m_text.size(); }
    // Where the next search starts: earlier text is searched already, except the overlap a match may need.
    size_t SearchFrom() const { return m_searched > kMaxMatchLength ? m_searched - kMaxMatchLength : 0; }
    // The search from SearchFrom covered everything up to end without a match.
    void Searched(size_t end) { m_searched = end > m_searched ? end : m_searched; }
    // A match ended at end: the next expect sees only what follows it.
    void Consume(size_t end);

    // Searches text from `from` to its end in windows of kWindow characters, the character before `from` (if
    // any) serving the anchors ^ and \b. True with the match's begin and end (indexes into text). Runs on any
    // thread; may throw what the pattern library throws.
    static bool Search(const std::wregex& pattern, const std::wstring& text, size_t from, size_t& begin, size_t& end);

private:
    void DropOldest(size_t count);

    std::wstring m_text;
    size_t m_searched = 0;
};

class C_ReceivedText final : public C_LogSink {
public:
    static constexpr size_t kTailLength = 300; // what a failure report shows of the received text

    C_ReceivedText();
    C_ReceivedText(const C_ReceivedText&) = delete;
    C_ReceivedText& operator=(const C_ReceivedText&) = delete;

    // Any thread (the reader's). Signals Arrived.
    void AppendToLog(const wchar_t* text, uint32_t length) override;
    // Auto-reset: signalled when text arrives.
    HANDLE Arrived() const { return m_arrived.Get(); }
    // Moves the text that arrived since the last call into expect.
    void MoveInto(C_ExpectText& expect);
    // The last kTailLength characters received, whether matched or not.
    std::wstring Tail();

private:
    C_CriticalSection m_lock;
    std::wstring m_new;
    std::wstring m_tail;
    C_Handle m_arrived;
};
