// Garbled and hostile streams: nothing may crash or hang, the store stays consistent, and memory grows only
// in proportion to the input.
#include "terminal/TerminalHarness.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Pieces that exercise every state of the interpreter, cut at random places by the block boundaries.
const char* const kFragments[] = {
    "\x1b[",
    "\x1b]",
    "\x1b(",
    "\x1b)",
    "\x1bM\r",
    "\x1b[2J",
    "\x1b[H",
    "\x1b[3B",
    "\x1b[5C",
    "\x1b[2A",
    "\x1b[7D",
    "\x1b[K",
    "\x1b[1K",
    "\x1b[2K",
    "\x1b[9P",
    "\x1b[38;2;1;2;3m",
    "\x1b[1;31;44m",
    "\x1b]104\x07",
    "\x1b]0;title\x07",
    "\r\n",
    "\n\r",
    "\r",
    "\n",
    "\b\b\b",
    "\x1b[0;0H",
    "http://a.b/c ",
    "\xc3\xa9",
    "\xe2\xa0",
    "\xf0\x9f\x98\x80",
    "\x1b[?1h",
    "\x1b[;;;m",
    "\x1b[12 ",
    "\x1b["
    "1111111111111111111111111111111111111111111111111111111111111111111",
};

// Moves to the far ends of the store. Each is bounded, but in the middle of a large store every edit costs
// a move of the cells after it, so they are rarer than the rest to keep the test quick.
const char* const kFarMoves[] = {
    "\x1b[4000000000;1H", "\x1b[1;4000000000H", "\x1b[4000000000d", "\x1b[99999A",
    "\x1b[99999D",        "\x1b[4000000000B",   "\x1b[4000000000C",
};

template <size_t N> const char* Pick(const char* const (&list)[N], std::mt19937& random) {
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

std::string AdversarialStream(std::mt19937& random, size_t size) {
    std::string stream;
    std::uniform_int_distribution<int> pick(0, 999);
    std::uniform_int_distribution<int> byte(0, 255);
    while (stream.size() < size) {
        int kind = pick(random);
        if (kind < 2)
            stream += Pick(kFarMoves, random);
        else if (kind < 400)
            stream += Pick(kFragments, random);
        else if (kind < 700)
            stream += char(byte(random));
        else
            stream += "plain text of a line ";
    }
    return stream;
}

void FeedInRandomBlocks(TerminalHarness& t, const std::string& stream, std::mt19937& random) {
    std::uniform_int_distribution<size_t> blockSize(1, 4096);
    std::uniform_int_distribution<int> idle(0, 3);
    for (size_t at = 0; at < stream.size();) {
        size_t n = std::min(blockSize(random), stream.size() - at);
        t.Block(stream.substr(at, n));
        at += n;
        t.ticks.now += 7;
        if (idle(random) == 0)
            t.assembly.FlushIfIdle();
    }
    t.Receive("");
}

} // namespace

TEST(Robustness, RandomAndAdversarialBytesKeepTheStoreConsistentAndBounded) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        TerminalHarness t;
        t.store.SetWrapWidth(37);
        std::string stream = AdversarialStream(random, 2 * 1024 * 1024);
        FeedInRandomBlocks(t, stream, random);
        EXPECT_EQ(CheckStoreInvariants(t.store), "") << "seed " << seed;
        // Each far move adds at most kMaxCursorGrowth lines or blanks, and a broken sequence writes at most
        // its bounded parameters per byte. Without those bounds a single move would ask for gigabytes.
        EXPECT_LT(t.store.StoredBytes(), 100ull * stream.size()) << "seed " << seed;
    }
}

TEST(Robustness, PureRandomBytes) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string stream(4 * 1024 * 1024, '\0');
    for (char& c : stream)
        c = char(byte(random));
    TerminalHarness t;
    FeedInRandomBlocks(t, stream, random);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    EXPECT_LT(t.store.StoredBytes(), 40ull * stream.size());
}

TEST(Robustness, AdversarialBytesWithAFilterActive) {
    std::mt19937 random(7);
    TerminalHarness t;
    ContainsFilter filter;
    filter.needle = L"line";
    filter.record = false;
    t.store.SetFilter(&filter);
    t.store.SetWrapWidth(13);
    t.store.SetFilterActive(true);
    FeedInRandomBlocks(t, AdversarialStream(random, 512 * 1024), random);
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
    t.store.Rewrap();
    EXPECT_EQ(CheckStoreInvariants(t.store), "");
}
