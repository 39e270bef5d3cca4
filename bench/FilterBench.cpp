// How the time to take a filter text apart into its patterns grows with its length, for texts of "abc,"
// repeated. The filter reads its words from a position (C_String::SplitNext), so the time per word stays the
// same however long the text is; cutting each word off the front (SplitFirst) copies the rest of the text every
// time, which is shown beside it up to 60,000 words. 8,191 words fill the filter field, to whose limit a stored
// filter is cut when read; 262,144 words are a 1 MiB stored value.
#include "BenchClock.h"
#include "foundation/settings/Options.h"
#include "terminal/store/Filter.h"

#include <cstdio>
#include <string>

namespace {

constexpr double kMinimumSeconds = 0.3; // the thread clock ticks in 10 ms under Wine
constexpr const wchar_t* kWord = L"abc,";
constexpr size_t kLongestCutFromTheFront = 60000;

template <class Split> double SecondsPerSplit(Split split) {
    double total = 0;
    int runs = 0;
    while (total < kMinimumSeconds) {
        const double start = BenchClock::ThreadSeconds();
        split();
        total += BenchClock::ThreadSeconds() - start;
        ++runs;
    }
    return total / runs;
}

double CutFromTheFront(const std::wstring& text) {
    return SecondsPerSplit([&text] {
        C_String rest, word;
        rest.Assign(text.c_str());
        while (rest.SplitFirst(word, L",")) {
        }
    });
}

double FilterParse(const std::wstring& text) {
    C_FilterText filter;
    return SecondsPerSplit([&] { filter.SetText(text.c_str()); });
}

} // namespace

int main() {
    const size_t wordLength = wcslen(kWord);
    const size_t counts[] = {C_PersistedOptions::kFilterLimit / wordLength, 15000, 30000, 60000, 262144};
    std::printf("Filter: a text of N words taken apart (processor time per text)\n");
    std::printf("  %8s %10s %14s %16s\n", "words", "characters", "filter", "front cut");
    for (size_t words : counts) {
        std::wstring text;
        text.reserve(words * wordLength);
        for (size_t i = 0; i < words; ++i)
            text += kWord;
        const double filter = FilterParse(text);
        std::printf("  %8zu %10zu %11.2f ms", words, text.size(), filter * 1e3);
        if (words <= kLongestCutFromTheFront)
            std::printf(" %13.1f ms", CutFromTheFront(text) * 1e3);
        std::printf("\n");
    }
    return 0;
}
