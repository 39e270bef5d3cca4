// Feeds generated input of about 50 MB through the real receive path (receive assembly, escape interpreter,
// UTF-8 decoding, line store with wrapping and link detection) in reader-sized blocks, and reports input
// throughput and the bytes the store keeps per received character. Median of several runs per input.
#include "terminal/LineStore.h"
#include "terminal/ReceiveAssembly.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t kInputSize = 50 * 1000 * 1000;
constexpr uint32_t kBlockSize = 4096; // what a reader hands over per read
constexpr int kRuns = 5;
constexpr int kWrapWidth = 120;

const char* const kWords[] = {"sensor", "reading", "value",  "timeout", "ok",   "retry", "buffer", "flush",
                              "packet", "frame",   "status", "ready",   "idle", "link",  "up",     "down"};

// "2024-01-12 10:22:31.123 [INFO ] task-07: ..." padded with words to about 80 characters.
std::string LogLine(unsigned n) {
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
std::string ColouredLine(unsigned n) {
    char sgr[48];
    if (n % 3 == 0)
        snprintf(sgr, sizeof sgr, "\x1b[38;2;%u;%u;%um", n * 37 % 256, n * 91 % 256, n * 53 % 256);
    else
        snprintf(sgr, sizeof sgr, "\x1b[%s3%um", n % 2 ? "1;" : "", n % 8);
    std::string line = LogLine(n);
    return sgr + line.substr(0, line.size() - 2) + "\x1b[0m\r\n";
}

const char* const kUtf8Words[] = {"Привет",   "мир",    "данные", "ошибка", "Καλημέρα", "κόσμε",
                                  "δεδομένα", "σφάλμα", "⠋⠙⠹⠸",   "⠼⠴⠦⠧",   "⠇⠏",       "ok"};

// Cyrillic, Greek and Braille words, about 80 characters a line.
std::string Utf8Line(unsigned n) {
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

std::string Generate(std::string (*line)(unsigned)) {
    std::string input;
    input.reserve(kInputSize + 256);
    for (unsigned n = 0; input.size() < kInputSize; ++n)
        input += line(n);
    return input;
}

uint64_t CharactersIn(const std::string& utf8) {
    uint64_t count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// Processor time of this thread: on a shared machine the wall clock also counts other programs' turns.
double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) { return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

struct Figures {
    double megabytesPerSecond;     // by this thread's processor time
    double wallMegabytesPerSecond; // by the wall clock
    double storedBytesPerCharacter;
    double growthSeconds; // of a run's processor time: growing cells and attributes to their final size
};

// What the store's two big arrays cost just to grow to the given number of cells, the way they grow while
// text arrives (blocks of reader size), with nothing else done. On Wine this is a large share of a run.
double GrowthSeconds(uint32_t cells) {
    double start = ThreadSeconds();
    C_DynamicBuffer<wchar_t> characters;
    C_DynamicBuffer<Attribute> attributes;
    for (uint32_t count = 0; count < cells; count += kBlockSize) {
        uint32_t next = std::min(cells, count + kBlockSize);
        if (!characters.Reserve(next) || !attributes.Reserve(next))
            return 0;
        for (uint32_t i = count; i < next; ++i) {
            characters.Data()[i] = wchar_t(i);
            attributes.Data()[i] = i;
        }
    }
    return ThreadSeconds() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Figures Measure(const std::string& input) {
    std::vector<double> rates;
    std::vector<double> wallRates;
    double stored = 0;
    C_LineStore store;
    store.SetWrapWidth(kWrapWidth);
    for (int run = 0; run < kRuns; ++run) {
        store.Clear();
        C_ReceiveAssembly assembly(store);
        assembly.ResetFlushTime();
        const uint8_t* data = reinterpret_cast<const uint8_t*>(input.data());
        double start = Seconds();
        double startCpu = ThreadSeconds();
        for (size_t at = 0; at < input.size(); at += kBlockSize) {
            uint32_t n = uint32_t(std::min<size_t>(kBlockSize, input.size() - at));
            assembly.ProcessReceivedData(data + at, n);
        }
        assembly.FlushPendingLine(true, false);
        double elapsed = Seconds() - start;
        double cpu = ThreadSeconds() - startCpu;
        rates.push_back(double(input.size()) / 1e6 / cpu);
        wallRates.push_back(double(input.size()) / 1e6 / elapsed);
        stored = double(store.StoredBytes()) / double(CharactersIn(input));
    }
    std::vector<double> growth;
    uint32_t cells = store.CellCount();
    store.Clear();
    for (int run = 0; run < kRuns; ++run)
        growth.push_back(GrowthSeconds(cells));
    return {Median(rates), Median(wallRates), stored, Median(growth)};
}

} // namespace

int main() {
    struct Input {
        const char* name;
        std::string (*line)(unsigned);
    } inputs[] = {
        {"(a) plain ASCII lines, CR LF", LogLine},
        {"(b) lines in changing SGR colours", ColouredLine},
        {"(c) UTF-8 Cyrillic, Greek, Braille", Utf8Line},
    };
    printf("receive path: %u-byte blocks, wrap width %d, median of %d runs\n", kBlockSize, kWrapWidth, kRuns);
    for (const Input& input : inputs) {
        std::string data = Generate(input.line);
        Figures f = Measure(data);
        double runSeconds = double(data.size()) / 1e6 / f.megabytesPerSecond;
        printf("%-36s %4.1f MB: %6.1f MB/s (wall clock %6.1f MB/s), %5.2f stored bytes per received character\n",
               input.name, double(data.size()) / 1e6, f.megabytesPerSecond, f.wallMegabytesPerSecond,
               f.storedBytesPerCharacter);
        printf("%-36s growing the cell arrays alone takes %.2f s of the run's %.2f s; the rest runs at %.1f MB/s\n", "",
               f.growthSeconds, runSeconds, double(data.size()) / 1e6 / (runSeconds - f.growthSeconds));
        fflush(stdout);
    }
    return 0;
}
