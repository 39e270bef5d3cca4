#pragma once
// The options shared by every subcommand that fills a line store and writes it out (replay now; capture
// later), and the writing itself.
#include "Options.h"
#include "terminal/Filter.h"
#include "terminal/LineStore.h"
#include "terminal/ReceiveAssembly.h"
#include "terminal/TimeStamp.h"

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

    static constexpr int kMaxColumns = 65535;
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

// Writes the store as the options ask, to standard output or the output file. Returns the exit status and
// reports a failure on standard error.
int WriteStoreOutput(C_LineStore& store, const StoreOutputOptions& values, const std::wstring& commandName);
