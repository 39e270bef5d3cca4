// Feeds generated input of about 50 MB through the real receive path (receive assembly, escape interpreter,
// UTF-8 decoding, line store with wrapping and link detection) in reader-sized blocks, each followed by the
// idle check a reader makes, and reports input throughput by the thread's processor time. Two stores are
// measured: one that has been full for a while (a long session: it keeps dropping its oldest lines and
// touches no new memory) and a fresh one growing from empty (each of its pages costs a page fault on first
// touch). Also reports the memory the store needs per stored character.
// The "RESULT" lines are for scripts/bench, which sets them beside libvterm's.
#include "BenchClock.h"
#include "BenchInputs.h"
#include "terminal/store/LineStore.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using BenchInputs::kBlockSize;

using BenchClock::Median;
using BenchClock::ThreadSeconds;

// One pass of the input through the assembly, as a reader hands it over; processor seconds.
double Feed(C_ReceiveAssembly& assembly, const std::string& input) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
    double start = ThreadSeconds();
    for (size_t at = 0; at < input.size(); at += kBlockSize) {
        uint32_t n = uint32_t(std::min<size_t>(kBlockSize, input.size() - at));
        assembly.ProcessReceivedData(data + at, n);
        assembly.FlushIfIdle();
    }
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    return ThreadSeconds() - start;
}

struct Figures {
    double fullStoreRate;  // MB/s into a store at its capacity
    double freshStoreRate; // MB/s into a store growing from empty
    double storedBytesPerCharacter;
    double committedBytesPerCell;
};

Figures Measure(const std::string& input) {
    Figures figures{};
    double megabytes = double(input.size()) / 1e6;
    uint64_t characters = BenchInputs::CharactersIn(input);
    {
        C_LineStore store;
        store.SetWrapWidth(BenchInputs::kColumns);
        C_ReceiveAssembly assembly(store);
        assembly.ResetFlushTime();
        // Until the store has dropped lines and slid once through all its room.
        for (double cells = 0; cells < 1.6 * store.GetCapacity(); cells += double(characters))
            Feed(assembly, input);
        // Two passes a run, so the thread clock's ticks (10 ms under Wine) are small against it.
        std::vector<double> rates;
        for (int run = 0; run < BenchInputs::kRuns; ++run)
            rates.push_back(2 * megabytes / (Feed(assembly, input) + Feed(assembly, input)));
        figures.fullStoreRate = Median(rates);
        C_Lock lock(store.Lock());
        figures.committedBytesPerCell = double(store.CommittedBytes()) / double(store.CellCount());
    }
    // A fresh store fills only once: the runs are added up rather than their median taken.
    double seconds = 0;
    for (int run = 0; run < BenchInputs::kRuns; ++run) {
        C_LineStore store;
        store.SetWrapWidth(BenchInputs::kColumns);
        C_ReceiveAssembly assembly(store);
        assembly.ResetFlushTime();
        seconds += Feed(assembly, input);
        C_Lock lock(store.Lock());
        figures.storedBytesPerCharacter = double(store.StoredBytes()) / double(characters);
    }
    figures.freshStoreRate = BenchInputs::kRuns * megabytes / seconds;
    return figures;
}

bool Wanted(const char* key, int argc, char** argv) {
    if (argc < 2)
        return true;
    return std::find_if(argv + 1, argv + argc, [key](const char* name) { return std::string(name) == key; }) !=
           argv + argc;
}

} // namespace

// With arguments, only the inputs named (plain, colour, utf8, random) are measured.
int main(int argc, char** argv) {
    printf("Velto receive path: %u-byte blocks, wrap width %d, median of %d runs, store capacity %u cells\n",
           kBlockSize, BenchInputs::kColumns, BenchInputs::kRuns, C_LineStore::kDefaultCapacity);
    for (const BenchInputs::Input& input : BenchInputs::kInputs) {
        if (!Wanted(input.key, argc, argv))
            continue;
        std::string data = BenchInputs::Generate(input.line);
        Figures f = Measure(data);
        printf("%-38s %5.1f MB: %6.1f MB/s into a full store, %6.1f MB/s into a fresh one; "
               "%4.2f stored bytes per character, %4.2f committed bytes per cell when full\n",
               input.name, double(data.size()) / 1e6, f.fullStoreRate, f.freshStoreRate, f.storedBytesPerCharacter,
               f.committedBytesPerCell);
        printf("RESULT %s velto %.1f\n", input.key, f.fullStoreRate);
        printf("RESULT %s velto-fresh %.1f\n", input.key, f.freshStoreRate);
        fflush(stdout);
    }
    return 0;
}
