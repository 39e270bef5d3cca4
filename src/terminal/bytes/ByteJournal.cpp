#include "terminal/bytes/ByteJournal.h"

#include "foundation/base/Memory.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr uint32_t kFirstBlocks = 1024;
constexpr uint32_t kCommitStep = 1u << 20;

class C_SystemClock final : public C_JournalClock {
public:
    uint64_t Now() override {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        return uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    }
};
C_SystemClock g_systemClock;

uint8_t FoldAscii(uint8_t byte) {
    return byte >= 'A' && byte <= 'Z' ? uint8_t(byte + ('a' - 'A')) : byte;
}

} // namespace

C_ByteJournal::C_ByteJournal() : m_clock(&g_systemClock) {}

C_ByteJournal::~C_ByteJournal() {
    Release();
}

void C_ByteJournal::Release() {
    Memory::ReleaseAddressSpace(m_data);
    Memory::Release(m_blocks);
    m_data = nullptr;
    m_blocks = nullptr;
    m_committed = m_blockCapacity = m_blockHead = m_blockCount = 0;
}

void C_ByteJournal::SetCapacity(uint32_t bytes) {
    {
        C_Lock hold(m_lock);
        Release();
        m_capacity =
            bytes < kMinimumCapacity ? kMinimumCapacity : (bytes > kMaximumCapacity ? kMaximumCapacity : bytes);
        m_maximumBlocks = m_capacity / kCapacityPerBlock ? m_capacity / kCapacityPerBlock : 1;
        m_streamBytes[0] = m_streamBytes[1] = 0;
        m_hasSent = false;
    }
    if (C_JournalWindow* window = m_window)
        window->JournalChanged();
}

void C_ByteJournal::SetClock(C_JournalClock* clock) {
    m_clock = clock ? clock : &g_systemClock;
}

void C_ByteJournal::Clear() {
    {
        C_Lock hold(m_lock);
        m_blockHead = m_blockCount = 0;
        m_streamBytes[0] = m_streamBytes[1] = 0;
        m_hasSent = false;
    }
    if (C_JournalWindow* window = m_window)
        window->JournalChanged();
}

C_ByteJournal::Block& C_ByteJournal::BlockAt(uint32_t index) {
    uint32_t at = m_blockHead + index;
    return m_blocks[at >= m_blockCapacity ? at - m_blockCapacity : at];
}

// --- recording ------------------------------------------------------------------------------------------------

void C_ByteJournal::RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) {
    if (!data || !length)
        return;
    const uint64_t time = m_clock->Now();
    {
        C_Lock hold(m_lock);
        uint64_t& stream = m_streamBytes[direction == ByteDirection::Sent ? 1 : 0];
        if (length > m_capacity) {
            stream += length - m_capacity;
            data += length - m_capacity;
            length = m_capacity;
        }
        if (!MakeRoom(length)) {
            stream += length; // memory ran out: the offsets still say where the next bytes belong
            return;
        }
        const uint32_t at = uint32_t(m_endByte % m_capacity);
        const uint32_t head = length < m_capacity - at ? length : m_capacity - at;
        memcpy(m_data + at, data, head);
        memcpy(m_data, data + head, length - head);
        m_blocks[(m_blockHead + m_blockCount) % m_blockCapacity] = {m_endByte, m_endRow, stream,
                                                                    time,      length,   direction};
        ++m_blockCount;
        m_endByte += length;
        m_endRow += RowsOf(length);
        stream += length;
        if (direction == ByteDirection::Sent)
            m_hasSent = true;
    }
    if (C_JournalWindow* window = m_window)
        window->JournalChanged();
}

// Oldest blocks go until the bytes fit and a record is free; false when memory for them cannot be had.
bool C_ByteJournal::MakeRoom(uint32_t length) {
    while (m_blockCount && (m_endByte - FirstByte() + length > m_capacity || m_blockCount >= m_maximumBlocks)) {
        m_blockHead = m_blockHead + 1 == m_blockCapacity ? 0 : m_blockHead + 1;
        --m_blockCount;
    }
    if (m_blockCount == m_blockCapacity && !GrowBlocks())
        return false;
    return CommitData(uint32_t(m_endByte % m_capacity), length);
}

// When full, the ring runs from its head to its end and on from the start; the first part moves to the new end.
bool C_ByteJournal::GrowBlocks() {
    const uint32_t old = m_blockCapacity;
    uint32_t wanted = old ? 2 * old : kFirstBlocks;
    if (wanted > m_maximumBlocks)
        wanted = m_maximumBlocks;
    if (wanted <= old)
        return false;
    void* grown = Memory::Reallocate(m_blocks, size_t(wanted) * sizeof(Block));
    if (!grown)
        return false;
    m_blocks = static_cast<Block*>(grown);
    if (m_blockHead) {
        const uint32_t moved = old - m_blockHead;
        memmove(m_blocks + wanted - moved, m_blocks + m_blockHead, size_t(moved) * sizeof(Block));
        m_blockHead = wanted - moved;
    }
    m_blockCapacity = wanted;
    return true;
}

// The ring's pages are committed in steps as it first fills; once it has gone round, all of them are.
bool C_ByteJournal::CommitData(uint32_t at, uint32_t length) {
    const uint32_t needed = length > m_capacity - at ? m_capacity : at + length;
    if (needed <= m_committed)
        return true;
    if (!m_data && !(m_data = static_cast<uint8_t*>(Memory::ReserveAddressSpace(m_capacity))))
        return false;
    uint32_t target = (needed + kCommitStep - 1) / kCommitStep * kCommitStep;
    if (target > m_capacity)
        target = m_capacity;
    if (!Memory::Commit(m_data, m_committed, target)) {
        if (!Memory::Commit(m_data, m_committed, needed))
            return false;
        target = needed;
    }
    m_committed = target;
    return true;
}

// --- reading --------------------------------------------------------------------------------------------------

C_ByteJournal::Extent C_ByteJournal::GetExtent() {
    C_Lock hold(m_lock);
    const uint64_t largest = m_streamBytes[0] > m_streamBytes[1] ? m_streamBytes[0] : m_streamBytes[1];
    return {FirstRow(), m_endRow, FirstByte(), m_endByte, largest, m_hasSent};
}

// The last block starting at or before the row (the caller knows one does).
uint32_t C_ByteJournal::BlockOfRow(uint64_t row) {
    uint32_t low = 0, high = m_blockCount;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        if (BlockAt(middle).firstRow <= row)
            low = middle;
        else
            high = middle;
    }
    return low;
}

uint32_t C_ByteJournal::BlockOfByte(uint64_t position) {
    uint32_t low = 0, high = m_blockCount;
    while (high - low > 1) {
        const uint32_t middle = low + (high - low) / 2;
        if (BlockAt(middle).firstByte <= position)
            low = middle;
        else
            high = middle;
    }
    return low;
}

void C_ByteJournal::CopyOut(uint64_t position, uint32_t count, uint8_t* out) const {
    const uint32_t at = uint32_t(position % m_capacity);
    const uint32_t head = count < m_capacity - at ? count : m_capacity - at;
    memcpy(out, m_data + at, head);
    memcpy(out + head, m_data, count - head);
}

uint32_t C_ByteJournal::GetRows(uint64_t first, uint32_t count, Row* out) {
    C_Lock hold(m_lock);
    if (!m_blockCount || !out)
        return 0;
    if (first < FirstRow())
        first = FirstRow();
    uint32_t copied = 0;
    for (uint32_t index = BlockOfRow(first); index < m_blockCount && copied < count; ++index) {
        const Block& block = BlockAt(index);
        for (uint64_t row = first > block.firstRow ? first : block.firstRow;
             row < block.firstRow + RowsOf(block.length) && copied < count; ++row) {
            const uint32_t skip = uint32_t(row - block.firstRow) * kRowBytes;
            Row& target = out[copied++];
            target.number = row;
            target.firstByte = block.firstByte + skip;
            target.offset = block.offset + skip;
            target.time = block.time;
            target.direction = block.direction;
            target.blockStart = skip == 0;
            target.count = uint8_t(block.length - skip < kRowBytes ? block.length - skip : kRowBytes);
            CopyOut(target.firstByte, target.count, target.bytes);
        }
    }
    return copied;
}

uint64_t C_ByteJournal::RowOfByte(uint64_t position) {
    C_Lock hold(m_lock);
    if (!m_blockCount || position < FirstByte())
        return FirstRow();
    if (position >= m_endByte)
        return m_endRow;
    const Block& block = BlockAt(BlockOfByte(position));
    return block.firstRow + (position - block.firstByte) / kRowBytes;
}

// --- search ---------------------------------------------------------------------------------------------------

bool C_ByteJournal::MatchesAt(uint32_t ringIndex, const uint8_t* pattern, uint32_t length, bool ignoreCase) const {
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t byte = m_data[ringIndex];
        if (byte != pattern[i] && !(ignoreCase && FoldAscii(byte) == FoldAscii(pattern[i])))
            return false;
        if (++ringIndex == m_capacity)
            ringIndex = 0;
    }
    return true;
}

bool C_ByteJournal::OneDirection(uint64_t position, uint32_t length) {
    uint32_t index = BlockOfByte(position);
    const ByteDirection direction = BlockAt(index).direction;
    for (const uint64_t end = position + length; ++index < m_blockCount && BlockAt(index).firstByte < end;)
        if (BlockAt(index).direction != direction)
            return false;
    return true;
}

int64_t C_ByteJournal::Find(const uint8_t* pattern, uint32_t length, uint64_t from, uint32_t findFlags) {
    C_Lock hold(m_lock);
    const uint64_t first = FirstByte();
    if (!pattern || !length || m_endByte - first < length)
        return -1;
    const bool ignoreCase = (findFlags & FIND_IGNORE_ASCII_CASE) != 0;
    const uint64_t last = m_endByte - length; // the last place a match can start
    if (findFlags & FIND_BACKWARD) {
        uint64_t position = from < last + 1 ? from : last + 1;
        if (position <= first)
            return -1;
        uint32_t ring = uint32_t(position % m_capacity);
        while (position-- > first) {
            ring = ring ? ring - 1 : m_capacity - 1;
            if (MatchesAt(ring, pattern, length, ignoreCase) && OneDirection(position, length))
                return int64_t(position);
        }
        return -1;
    }
    uint64_t position = from > first ? from : first;
    for (uint32_t ring = uint32_t(position % m_capacity); position <= last; ++position) {
        if (MatchesAt(ring, pattern, length, ignoreCase) && OneDirection(position, length))
            return int64_t(position);
        if (++ring == m_capacity)
            ring = 0;
    }
    return -1;
}
