// velto-cli replay: a captured stream of received bytes goes through the same receive path as a serial
// port's data, in blocks the size a reader hands over, each followed by the idle flush a reader makes, and
// the resulting store is written out. Memory stays bounded by the store's capacity whatever the input size.
// With --hex the bytes are dumped instead, row by row as they are read, so the dump has no bound at all.
#include "Commands.h"
#include "Console.h"
#include "ExitStatus.h"
#include "Input.h"
#include "PlotCsvOutput.h"
#include "StoreOutput.h"
#include "terminal/export/HexExport.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <psapi.h>

#include <cstdio>
#include <vector>

namespace {

const wchar_t kCommand[] = L"replay";
constexpr int kDefaultBlock = 1024; // what the serial reader hands over per read
constexpr int kMaxBlock = 1024 * 1024;
constexpr uint32_t kReadPiece = 1024 * 1024; // bytes read from the input at once, handed over block by block

struct ReplayOptions {
    int block = kDefaultBlock;
    bool stats = false;
    bool hex = false;
    StoreOutputOptions output;
    C_PlotCsvOutput plot;
};

void Fail(const std::wstring& message) {
    Console::Error(std::wstring(L"velto-cli replay: ") + message);
}

void AddReplayOptions(C_OptionTable& options, ReplayOptions& values) {
    options.AddNumber(L"--block", L"N", L"hand the input over in blocks of N bytes (default 1024, as a serial reader)",
                      values.block, 1, kMaxBlock);
    options.AddFlag(L"--stats", L"print input bytes, lines, dropped lines, MB/s and peak memory on standard error",
                    values.stats);
    options.AddFlag(L"--hex", L"write the hex dump of the input (offset, 16 bytes, characters) instead", values.hex);
    AddStoreOutputOptions(options, values.output);
    values.plot.AddOption(options);
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

double PeakWorkingSetMegabytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Lines received: those dropped and those stored, where a last line still empty is not one yet.
uint64_t LinesReceived(C_LineStore& store) {
    C_Lock lock(store.Lock());
    uint32_t last = store.LineCount() - 1;
    return store.GetDropTotals().lines + store.LineCount() - (store.LineLength(last) == 1 ? 1 : 0);
}

void PrintStats(C_LineStore& store, uint64_t bytes, double seconds) {
    wchar_t text[256];
    _snwprintf(text, 256,
               L"velto-cli replay: stats: input %I64u bytes, %I64u lines, %I64u dropped lines, %.1f MB/s, "
               L"peak working set %.1f MB",
               bytes, LinesReceived(store), store.GetDropTotals().lines,
               seconds > 0 ? double(bytes) / 1e6 / seconds : 0.0, PeakWorkingSetMegabytes());
    text[255] = 0;
    Console::Error(text);
}

// What a dump cannot honour: it shows bytes, not the lines the store would make of them.
std::wstring CheckHexOptions(const ReplayOptions& values) {
    if (!values.hex)
        return L"";
    const StoreOutputOptions& output = values.output;
    const wchar_t* clash = output.html                  ? L"--html"
                           : output.visible             ? L"--visible"
                           : !output.filter.empty()     ? L"--filter"
                           : !output.timeFormat.empty() ? L"--time-format"
                           : values.stats               ? L"--stats"
                                                        : nullptr;
    return clash ? std::wstring(L"--hex cannot be combined with ") + clash : L"";
}

// Each block as a reader hands it over starts a row.
int ReplayHex(C_InputStream& input, C_StoreOutput& output, int block) {
    std::vector<uint8_t> piece(kReadPiece);
    std::wstring error;
    const int status = output.Write([&](C_ByteSink& sink) {
        HexExport::C_HexDumpWriter dump(sink);
        for (int64_t read; (read = input.Read(piece.data(), kReadPiece, error)) > 0;)
            for (int64_t at = 0; at < read; at += block)
                dump.AddBlock(piece.data() + at, uint32_t(read - at < block ? read - at : block));
        return dump.Finish();
    });
    if (!error.empty()) {
        Fail(error);
        return kExitUsage;
    }
    return status;
}

// The whole input through the assembly in blocks of the given size, as a reader would hand them on; what is
// still pending at the end is flushed as the idle flush would, without waiting for it.
bool Feed(C_InputStream& input, uint32_t block, C_ReceiveAssembly& assembly, uint64_t& total, std::wstring& error) {
    std::vector<uint8_t> piece(kReadPiece);
    for (;;) {
        int64_t read = input.Read(piece.data(), kReadPiece, error);
        if (read < 0)
            return false;
        if (read == 0)
            break;
        total += uint64_t(read);
        for (int64_t at = 0; at < read; at += block) {
            uint32_t n = uint32_t(read - at < block ? read - at : block);
            assembly.ProcessReceivedData(piece.data() + at, n);
            assembly.FlushIfIdle();
        }
    }
    assembly.FlushPendingLine(C_ReceiveAssembly::FLUSH_DECODE_UTF8);
    return true;
}

} // namespace

std::wstring ReplayHelp() {
    ReplayOptions values;
    C_OptionTable options;
    AddReplayOptions(options, values);
    return L"velto-cli replay [options] INPUT\r\n"
           L"  Replays INPUT, a file of raw received bytes (- for standard input), through the terminal's\r\n"
           L"  escape interpreter into a line store and writes the store as the Save command would. An input\r\n"
           L"  larger than the store keeps its newest lines; standard error says where the output starts.\r\n"
           L"  Exit status: 0 written, 1 writing or memory failed, 2 bad arguments or the input cannot be read.\r\n"
           L"Options:\r\n" +
           options.Help();
}

int RunReplay(const std::vector<std::wstring>& arguments) {
    ReplayOptions values;
    C_OptionTable options;
    AddReplayOptions(options, values);
    std::wstring inputName, error;
    if (!options.ParseWithOne(arguments, L"INPUT", L" (a file of received bytes, or - for standard input)", inputName,
                              error)) {
        Fail(error);
        return kExitUsage;
    }
    error = CheckStoreOutputOptions(values.output);
    if (error.empty())
        error = CheckHexOptions(values);
    if (!error.empty()) {
        Fail(error);
        return kExitUsage;
    }
    C_InputStream input;
    if (!input.Open(inputName, error)) {
        Fail(error);
        return kExitUsage;
    }
    C_StoreOutput output(values.output, kCommand);
    if (!output.Prepare() || !values.plot.Prepare(kCommand))
        return kExitUsage;
    if (values.hex)
        return ReplayHex(input, output, values.block);

    C_ReceiveOptions receiving;
    C_LineStore store;
    C_ReceiveAssembly assembly(store);
    receiving.Apply(values.output, store, assembly);
    values.plot.Attach(assembly);
    assembly.ResetFlushTime();
    uint64_t total = 0;
    double start = Seconds();
    if (!Feed(input, uint32_t(values.block), assembly, total, error)) {
        Fail(error);
        return kExitUsage;
    }
    double seconds = Seconds() - start;

    ReportDroppedLines(store, kCommand);
    if (values.stats)
        PrintStats(store, total, seconds);
    int plotStatus = values.plot.Write(kCommand);
    int status = output.Write(store);
    return status != kExitSuccess ? status : plotStatus;
}
