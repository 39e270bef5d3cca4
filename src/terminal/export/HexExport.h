#pragma once
// The hex dump as text: the hex view's rows for its Save and its copy, and the command-line dump of a stream.
// The text is ASCII, one row a line, lines ending with CR LF, so it reads the same in any encoding.
#include "terminal/bytes/ByteJournal.h"
#include "terminal/bytes/HexRows.h"
#include "terminal/export/ByteSink.h"

#include <cstdint>
#include <vector>

namespace HexExport {

// The layout of the journal's rows as the view shows them: the time column as asked, the direction column once
// the journal holds sent bytes, offsets as wide as the largest needs.
HexRows::Layout LayoutOf(C_ByteJournal& journal, bool withTimes);

// The journal's rows [firstRow, endRow) that it still holds. False when a write failed.
bool WriteRows(C_ByteJournal& journal, uint64_t firstRow, uint64_t endRow, const HexRows::Layout& layout,
               C_ByteSink& sink);
// Every row, in LayoutOf's layout.
bool Write(C_ByteJournal& journal, bool withTimes, C_ByteSink& sink);
// The same into a new file at path; 1 when every write succeeded.
int WriteFile(C_ByteJournal& journal, const wchar_t* path, bool withTimes);

// Collects rows as text and writes them in large pieces. Rows come from a journal, or from a stream handed over
// in blocks as a reader would (each block starts a row), dumped without times or directions, its offsets going on
// from block to block.
class C_HexDumpWriter {
public:
    explicit C_HexDumpWriter(C_ByteSink& sink);
    C_HexDumpWriter(const C_HexDumpWriter&) = delete;
    C_HexDumpWriter& operator=(const C_HexDumpWriter&) = delete;

    void AddRow(const C_ByteJournal::Row& row, const HexRows::Layout& layout);
    void AddBlock(const uint8_t* data, uint32_t length);
    // Writes what is collected; false when any write failed (what came after a failure was dropped).
    bool Finish();

private:
    C_ByteSink& m_sink;
    std::vector<char> m_piece;
    uint32_t m_count = 0;
    uint64_t m_offset = 0;
    bool m_failed = false;
};

} // namespace HexExport
