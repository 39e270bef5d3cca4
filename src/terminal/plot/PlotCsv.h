#pragma once
// C_PlotCsvExport: the plot's series as CSV text, in UTF-8: a header "time,<name>,<name>...", then one row per
// received line that gave the plot a value, oldest first. The time is in seconds since the plot's first line,
// to the millisecond; each series has its column, empty in rows where that line gave it no value. Values are
// written as the shortest text that reads back as the same number, with '.' as the decimal point. Rows end in
// CR LF.
//
// An export covers what the data held when it began, and is written in steps: each step holds the data's lock
// only while it formats its rows, so the reader thread keeps adding lines meanwhile, and a window can show
// progress and offer to cancel between steps. Clearing the data ends an export after the rows written.
#include "foundation/base/DynamicBuffer.h"
#include "foundation/base/File.h"
#include "terminal/plot/PlotData.h"

#include <cstdint>

class C_PlotCsvExport {
public:
    enum class Step { More, Done, WriteFailed }; // WriteFailed also when memory for the rows ran out
    static constexpr uint32_t kRowsPerStep = 20000;

    // Takes the series and the newest time the data holds now.
    void Begin(C_PlotData& data);
    // Formats up to maxRows further rows (the header first) and writes them to file.
    Step Write(C_PlotData& data, C_File& file, uint32_t maxRows = kRowsPerStep);
    // How far the export has come, 0 to 100.
    uint32_t Percent() const;
    uint64_t RowsWritten() const { return m_rows; }

private:
    void FormatHeader(const C_PlotData& data);
    bool FormatRows(const C_PlotData& data, uint32_t maxRows);
    void Append(const char* text);

    uint32_t m_series = 0;
    uint32_t m_generation = 0;
    int64_t m_origin = 0;
    int64_t m_newest = 0;
    int64_t m_written = INT64_MIN; // the time of the last row written
    bool m_headerWritten = false;
    bool m_outOfMemory = false; // a row could not be formatted: the file would miss it
    uint64_t m_rows = 0;
    C_DynamicBuffer<char> m_text;
};
