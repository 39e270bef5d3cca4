#pragma once
// C_PatternSearch: one search of an expect's pattern, on a thread of its own. The pattern library backtracks
// by recursion, a frame or more per character, so the thread gets a stack far deeper than a window of text
// can need; and a pattern whose backtracking explodes (such as (a+)+b) cannot hold the script past its time-out:
// the runner stops waiting and leaves the search to end by itself, or with the process.
#include "platform/system/Handles.h"

#include <windows.h>

#include <memory>
#include <regex>
#include <string>

class C_PatternSearch {
public:
    static constexpr SIZE_T kStackBytes = 64 * 1024 * 1024; // reserved; committed only as deep as a search goes

    enum class Outcome { Running, Found, NotFound, Failed };

    C_PatternSearch() = default;
    // A search still running is left to finish alone: it owns everything it uses.
    ~C_PatternSearch() = default;
    C_PatternSearch(const C_PatternSearch&) = delete;
    C_PatternSearch& operator=(const C_PatternSearch&) = delete;

    // Searches text from `from` as C_ExpectText::Search does. False when the thread could not be started.
    bool Start(std::shared_ptr<const std::wregex> pattern, std::wstring text, size_t from);
    // Manual-reset, signalled when the search has ended; null before Start.
    HANDLE Finished() const;
    // Running until Finished is signalled; then the match (indexes into the text given) or why it failed.
    Outcome Result(size_t& begin, size_t& end, std::wstring& failure) const;

private:
    struct Job;
    static DWORD WINAPI Main(void* job);

    std::shared_ptr<Job> m_job;
};
