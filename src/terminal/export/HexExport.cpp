#include "terminal/export/HexExport.h"

namespace HexExport {
namespace {

constexpr uint32_t kPieceBytes = 64 * 1024; // rows collected before one write
constexpr uint32_t kRowsPerCopy = 4096;     // rows taken out of the journal under one hold of its lock
constexpr uint32_t kLineBytes = HexRows::kMaximumWidth + 2;

} // namespace

HexRows::Layout LayoutOf(C_ByteJournal& journal, bool withTimes) {
    const C_ByteJournal::Extent extent = journal.GetExtent();
    uint32_t columns = withTimes ? HexRows::COLUMN_TIME : HexRows::COLUMNS_PLAIN;
    if (extent.hasSent)
        columns |= HexRows::COLUMN_DIRECTION;
    return HexRows::LayoutFor(columns, extent.largestOffset);
}

bool WriteRows(C_ByteJournal& journal, uint64_t firstRow, uint64_t endRow, const HexRows::Layout& layout,
               C_ByteSink& sink) {
    C_HexDumpWriter writer(sink);
    std::vector<C_ByteJournal::Row> rows(kRowsPerCopy);
    for (uint64_t row = firstRow; row < endRow;) {
        const uint64_t wanted = endRow - row < kRowsPerCopy ? endRow - row : kRowsPerCopy;
        const uint32_t copied = journal.GetRows(row, uint32_t(wanted), rows.data());
        if (!copied)
            break;
        for (uint32_t i = 0; i < copied && rows[i].number < endRow; ++i)
            writer.AddRow(rows[i], layout);
        row = rows[copied - 1].number + 1;
    }
    return writer.Finish();
}

bool Write(C_ByteJournal& journal, bool withTimes, C_ByteSink& sink) {
    const HexRows::Layout layout = LayoutOf(journal, withTimes);
    const C_ByteJournal::Extent extent = journal.GetExtent();
    return WriteRows(journal, extent.firstRow, extent.endRow, layout, sink);
}

int WriteFile(C_ByteJournal& journal, const wchar_t* path, bool withTimes) {
    C_File file;
    if (!file.Open(path, C_File::MODE_WRITE_CREATE, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return 0;
    C_FileSink sink(file);
    return Write(journal, withTimes, sink) ? 1 : 0;
}

C_HexDumpWriter::C_HexDumpWriter(C_ByteSink& sink) : m_sink(sink), m_piece(kPieceBytes) {}

void C_HexDumpWriter::AddRow(const C_ByteJournal::Row& row, const HexRows::Layout& layout) {
    if (m_count + kLineBytes > kPieceBytes && !Finish())
        return;
    wchar_t text[HexRows::kMaximumWidth];
    const uint32_t length = HexRows::Format(row, layout, text);
    char* out = m_piece.data() + m_count;
    for (uint32_t i = 0; i < length; ++i)
        out[i] = char(text[i]); // ASCII only
    out[length] = '\r';
    out[length + 1] = '\n';
    m_count += length + 2;
}

void C_HexDumpWriter::AddBlock(const uint8_t* data, uint32_t length) {
    C_ByteJournal::Row row{};
    row.direction = ByteDirection::Received;
    for (uint32_t at = 0; at < length; at += C_ByteJournal::kRowBytes) {
        row.count = uint8_t(length - at < C_ByteJournal::kRowBytes ? length - at : C_ByteJournal::kRowBytes);
        row.offset = m_offset + at;
        row.blockStart = at == 0;
        for (uint32_t i = 0; i < row.count; ++i)
            row.bytes[i] = data[at + i];
        // The offset so far decides the width, so the columns widen only past 4 GiB.
        AddRow(row, HexRows::LayoutFor(HexRows::COLUMNS_PLAIN, row.offset));
    }
    m_offset += length;
}

bool C_HexDumpWriter::Finish() {
    if (m_count && !m_failed && !m_sink.Write(m_piece.data(), m_count))
        m_failed = true;
    m_count = 0;
    return !m_failed;
}

} // namespace HexExport
