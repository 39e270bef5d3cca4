#pragma once
// The options shared by every subcommand that fills a line store and writes it out (replay now; capture
// later), and the writing itself.
#include "Options.h"
#include "terminal/LineStore.h"

#include <string>

struct StoreOutputOptions {
    bool html = false;
    bool visible = false;
    bool utf8 = false;
    int columns = C_LineStore::kDefaultWrapWidth;
    std::wstring outputPath;

    static constexpr int kMaxColumns = 65535;
};

void AddStoreOutputOptions(C_OptionTable& options, StoreOutputOptions& values);

// Combinations that cannot be honoured; empty when the options are consistent.
std::wstring CheckStoreOutputOptions(const StoreOutputOptions& values);

// Writes the store as the options ask, to standard output or the output file. Returns the exit status and
// reports a failure on standard error.
int WriteStoreOutput(C_LineStore& store, const StoreOutputOptions& values, const std::wstring& commandName);
