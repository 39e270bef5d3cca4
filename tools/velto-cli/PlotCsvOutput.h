#pragma once
// replay --plot-csv FILE: the numbers of the received lines go through the plot's own feed (the text the store
// shows, so the filter and the stamps act as in the window) and are written as the plot window's "Save as
// CSV" writes them. The times are when each line was handled.
#include "Options.h"
#include "foundation/base/File.h"
#include "terminal/plot/PlotData.h"
#include "terminal/plot/PlotFeed.h"
#include "terminal/receive/ReceiveAssembly.h"

#include <string>

class C_PlotCsvOutput {
public:
    C_PlotCsvOutput() = default;
    ~C_PlotCsvOutput();
    C_PlotCsvOutput(const C_PlotCsvOutput&) = delete;
    C_PlotCsvOutput& operator=(const C_PlotCsvOutput&) = delete;

    void AddOption(C_OptionTable& options);
    bool IsWanted() const { return !m_path.empty(); }

    // Opens the file before anything is read, so an unwritable path fails at once; false (reported) then.
    bool Prepare(const std::wstring& commandName);
    // Feeds the plot from the assembly's shown text from now on.
    void Attach(C_ReceiveAssembly& assembly);
    // After the input ended. The exit status; a failure is reported on standard error and the file removed.
    int Write(const std::wstring& commandName);

private:
    std::wstring m_path;
    C_File m_file;
    bool m_written = false; // a file that was prepared but never written is removed again
    C_PlotData m_data;
    C_PlotFeed m_feed{m_data};
};
