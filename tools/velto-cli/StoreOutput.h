#pragma once
// The options shared by every subcommand that fills a line store and writes it out (replay now; capture
// later), and the writing itself.
#include "Options.h"
#include "foundation/base/File.h"
#include "terminal/export/ByteSink.h"
#include "terminal/store/Filter.h"
#include "terminal/store/LineStore.h"
#include "terminal/receive/ReceiveAssembly.h"
#include "terminal/receive/TimeStamp.h"

#include <functional>
#include <string>

struct StoreOutputOptions {
    bool html = false;
    bool visible = false;
    bool utf8 = false;
    int columns = C_LineStore::kDefaultWrapWidth;
    std::wstring outputPath;
    std::wstring filter;     // as typed in the filter field
    std::wstring timeFormat; // as in the options; stamps show the time a line is handled
    bool powerline = false;  // the terminal font has the powerline glyphs
    int capacity = int(C_LineStore::kDefaultCapacity);

    static constexpr int kMaxColumns = 65535;
    // Its room and the two arrays' slack still fit a large-address-aware 32-bit process.
    static constexpr int kMaxCapacity = 128 * 1024 * 1024;
};

void AddStoreOutputOptions(C_OptionTable& options, StoreOutputOptions& values);

// What the options ask of the receiving side: the wrap width, the filter and the time stamps. Apply before
// the first byte arrives; the object must live as long as the store and the assembly use it.
class C_ReceiveOptions {
public:
    void Apply(const StoreOutputOptions& values, C_LineStore& store, C_ReceiveAssembly& assembly);

private:
    C_FilterText m_filter;
    C_TimeStamps m_stamps;
};

// Combinations that cannot be honoured; empty when the options are consistent.
std::wstring CheckStoreOutputOptions(const StoreOutputOptions& values);

// Where the store is written: standard output or the output file. The file is opened before anything is read
// or connected, so an unwritable path fails at once instead of after the work; a file that did not exist
// and is never written is removed again.
class C_StoreOutput {
public:
    C_StoreOutput(const StoreOutputOptions& values, const std::wstring& commandName);
    ~C_StoreOutput();
    C_StoreOutput(const C_StoreOutput&) = delete;
    C_StoreOutput& operator=(const C_StoreOutput&) = delete;

    // False (reported on standard error) when the output file cannot be opened for writing.
    bool Prepare();
    // Writes the store as the options ask. Returns the exit status and reports a failure on standard error.
    int Write(C_LineStore& store);
    // The same for any output: writer puts everything into the sink it is given and says whether it could.
    int Write(const std::function<bool(C_ByteSink& sink)>& writer);

private:
    const StoreOutputOptions& m_values;
    std::wstring m_command;
    C_File m_file;
    bool m_created = false;
    bool m_written = false;
};

// When the store dropped lines at its capacity, says so on standard error: the output holds the newest
// lines only and starts later in the input.
void ReportDroppedLines(C_LineStore& store, const std::wstring& commandName);
