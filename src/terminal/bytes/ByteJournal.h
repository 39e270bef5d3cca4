#pragma once
// C_ByteJournal: the bytes that crossed the line, exactly as they came, for the hex view. It is bounded: it keeps
// the newest bytes up to its capacity (16 MiB unless set otherwise) in at most one block for every 64 bytes of
// capacity, and drops the oldest blocks whole to make room. A block is one read (or one write) as the connection
// handed it over: its bytes, its direction, its arrival time and the offset of its first byte in its direction's
// stream since the journal was last cleared.
//
// Readers see it in rows of 16 bytes. A row never spans two blocks, so every block starts a row and its first row
// carries its time. Rows and bytes are numbered from the journal's start and keep their numbers while older ones
// are dropped or cleared away, so what a reader holds on to (the top row, a selection) stays where it was.
//
// The reader thread records while the window's thread reads: both take one lock, held only to copy.
#include "foundation/base/ByteRecorder.h"
#include "platform/system/Handles.h"

#include <atomic>
#include <cstdint>

// The time a block arrives, as a FILETIME count (UTC); the system clock in the program, a fixed one in tests.
class C_JournalClock {
public:
    virtual uint64_t Now() = 0;

protected:
    ~C_JournalClock() = default;
};

// Told after every record and clear, on the thread that made it and outside the lock.
class C_JournalWindow {
public:
    virtual void JournalChanged() = 0;

protected:
    ~C_JournalWindow() = default;
};

class C_ByteJournal final : public C_ByteRecorder {
public:
    static constexpr uint32_t kRowBytes = 16;
    static constexpr uint32_t kDefaultCapacity = 16u << 20;
    static constexpr uint32_t kMinimumCapacity = 64;
    static constexpr uint32_t kMaximumCapacity = 256u << 20;
    // Short reads would otherwise fill memory with block records: every block costs this much of the capacity's
    // worth of records (40 bytes each), so the records never take more than the bytes.
    static constexpr uint32_t kCapacityPerBlock = 64;

    struct Row {
        uint64_t number;         // the row's number
        uint64_t firstByte;      // the number of its first byte
        uint64_t offset;         // of its first byte in its direction's stream
        uint64_t time;           // its block's arrival, FILETIME (UTC)
        ByteDirection direction; //
        bool blockStart;         // the first row of its block
        uint8_t count;           // bytes, 1 to 16
        uint8_t bytes[kRowBytes];
    };

    // What the journal holds: rows [firstRow, endRow) and bytes [firstByte, endByte), both empty after a clear.
    struct Extent {
        uint64_t firstRow;
        uint64_t endRow;
        uint64_t firstByte;
        uint64_t endByte;
        uint64_t largestOffset; // the end of the longer direction's stream
        bool hasSent;           // any sent bytes since the last clear
    };

    enum FindFlags : uint32_t {
        FIND_FORWARD = 0,
        FIND_BACKWARD = 0x1,
        FIND_IGNORE_ASCII_CASE = 0x2,
    };

    C_ByteJournal();
    ~C_ByteJournal();
    C_ByteJournal(const C_ByteJournal&) = delete;
    C_ByteJournal& operator=(const C_ByteJournal&) = delete;

    // Empties the journal and sets its capacity in bytes, kept within the minimum and maximum.
    void SetCapacity(uint32_t bytes);
    uint32_t Capacity() const { return m_capacity; }
    uint32_t MaximumBlocks() const { return m_maximumBlocks; }
    void SetClock(C_JournalClock* clock);
    void SetWindow(C_JournalWindow* window) { m_window = window; }

    // C_ByteRecorder. A block longer than the capacity keeps its last bytes; the offsets still count them all.
    void RecordBytes(ByteDirection direction, const uint8_t* data, uint32_t length) override;
    // Forgets every block; the offsets start again at 0, the numbering goes on.
    void Clear();

    Extent GetExtent();
    // Up to count rows from row first on (a row before the first held starts at the first); how many were copied.
    uint32_t GetRows(uint64_t first, uint32_t count, Row* out);
    // The row holding a byte (a byte before the first held gives the first row, one past the end the end row).
    uint64_t RowOfByte(uint64_t position);
    // The first match starting at or after from, or backward the last one starting before from; -1 for none. A
    // match never joins bytes of the two directions.
    int64_t Find(const uint8_t* pattern, uint32_t length, uint64_t from, uint32_t findFlags);

private:
    struct Block {
        uint64_t firstByte;
        uint64_t firstRow;
        uint64_t offset;
        uint64_t time;
        uint32_t length;
        ByteDirection direction;
    };

    static uint64_t RowsOf(uint32_t length) { return (length + kRowBytes - 1) / kRowBytes; }
    Block& BlockAt(uint32_t index);
    uint32_t BlockOfRow(uint64_t row);
    uint32_t BlockOfByte(uint64_t position);
    uint64_t FirstByte() { return m_blockCount ? BlockAt(0).firstByte : m_endByte; }
    uint64_t FirstRow() { return m_blockCount ? BlockAt(0).firstRow : m_endRow; }
    bool MakeRoom(uint32_t length);
    bool GrowBlocks();
    bool CommitData(uint32_t at, uint32_t length);
    void CopyOut(uint64_t position, uint32_t count, uint8_t* out) const;
    bool MatchesAt(uint32_t ringIndex, const uint8_t* pattern, uint32_t length, bool ignoreCase) const;
    bool OneDirection(uint64_t position, uint32_t length);
    void Release();

    C_CriticalSection m_lock;
    uint32_t m_capacity = kDefaultCapacity;
    uint32_t m_maximumBlocks = kDefaultCapacity / kCapacityPerBlock;
    C_JournalClock* m_clock;
    std::atomic<C_JournalWindow*> m_window{nullptr};

    // The bytes: byte n lives at n % capacity; pages are committed as the ring first fills.
    uint8_t* m_data = nullptr;
    uint32_t m_committed = 0;
    // The blocks: a ring of m_blockCapacity records from m_blockHead, grown by doubling up to the maximum.
    Block* m_blocks = nullptr;
    uint32_t m_blockCapacity = 0;
    uint32_t m_blockHead = 0;
    uint32_t m_blockCount = 0;

    uint64_t m_endByte = 0;
    uint64_t m_endRow = 0;
    uint64_t m_streamBytes[2] = {0, 0}; // per direction, since the last clear
    bool m_hasSent = false;
};
