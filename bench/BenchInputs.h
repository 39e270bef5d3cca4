#pragma once
// The generated inputs every receive benchmark is fed, the same bytes for Velto and for the engine it is
// compared with: plain log lines, a colour per line (some 24-bit), and Cyrillic, Greek and Braille UTF-8.
// Plain C++ without system headers, so the native comparison builds it with the host compiler.
#include <cstdint>
#include <cstdio>
#include <string>

namespace BenchInputs {

constexpr size_t kInputSize = 50 * 1000 * 1000;
constexpr uint32_t kBlockSize = 1024; // what a serial reader hands over per read
constexpr int kColumns = 120;
constexpr int kRuns = 5;

inline const char* const kWords[] = {"sensor", "reading", "value",  "timeout", "ok",   "retry", "buffer", "flush",
                                     "packet", "frame",   "status", "ready",   "idle", "link",  "up",     "down"};

// "2024-01-12 10:22:31.123 [INFO ] task-07: ..." padded with words to about 80 characters.
inline std::string LogLine(unsigned n) {
    char head[64];
    snprintf(head, sizeof head, "2024-01-12 10:%02u:%02u.%03u [INFO ] task-%02u: ", n / 60000 % 60, n / 1000 % 60,
             n % 1000, n % 17);
    std::string line = head;
    for (unsigned k = n; line.size() < 78; k = k * 1103515245u + 12345u)
        line += std::string(kWords[(k >> 16) % 16]) + " ";
    line.resize(78);
    return line + "\r\n";
}

// Each line in another colour: the eight palette colours, bright ones, and every third line 24-bit.
inline std::string ColouredLine(unsigned n) {
    char sgr[48];
    if (n % 3 == 0)
        snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", n * 37 % 256, n * 91 % 256, n * 53 % 256);
    else
        snprintf(sgr, sizeof sgr, "\x1b[%s3%um", n % 2 ? "1;" : "", n % 8);
    std::string line = LogLine(n);
    return sgr + line.substr(0, line.size() - 2) + "\x1b[0m\r\n";
}

inline const char* const kUtf8Words[] = {"Привет",   "мир",    "данные", "ошибка", "Καλημέρα", "κόσμε",
                                         "δεδομένα", "σφάλμα", "⠋⠙⠹⠸",   "⠼⠴⠦⠧",   "⠇⠏",       "ok"};

// Cyrillic, Greek and Braille words, about 80 characters a line.
inline std::string Utf8Line(unsigned n) {
    std::string line;
    size_t characters = 0;
    for (unsigned k = n; characters < 76; k = k * 1103515245u + 12345u) {
        const char* word = kUtf8Words[(k >> 16) % 12];
        line += word;
        line += ' ';
        for (const char* p = word; *p; ++p)
            characters += (uint8_t(*p) & 0xC0) != 0x80;
        ++characters;
    }
    return line + "\r\n";
}

// Seeded random bytes, as a device at the wrong baud rate sends them: every escape sequence, control and
// invalid UTF-8 there is, at random.
inline std::string RandomBlock(unsigned n) {
    std::string block(4096, '\0');
    uint32_t state = 2463534242u + n * 2654435761u;
    for (char& c : block) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state >> 24);
    }
    return block;
}

struct Input {
    const char* key; // one word, for the combined table
    const char* name;
    std::string (*line)(unsigned);
};

inline const Input kInputs[] = {
    {"plain", "(a) plain ASCII log lines", LogLine},
    {"colour", "(b) a colour per line, some 24-bit", ColouredLine},
    {"utf8", "(c) Cyrillic, Greek, Braille UTF-8", Utf8Line},
    {"random", "(d) random bytes", RandomBlock},
};

inline std::string Generate(std::string (*line)(unsigned), size_t size = kInputSize) {
    std::string input;
    input.reserve(size + 256);
    for (unsigned n = 0; input.size() < size; ++n)
        input += line(n);
    return input;
}

inline uint64_t CharactersIn(const std::string& utf8) {
    uint64_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

} // namespace BenchInputs
