#pragma once
// Growable array of plain elements that does not move while it grows: address space for many elements is
// reserved at first use and pages are committed as the count grows, so appending costs no more than writing
// the elements. (A heap block copied at every doubling writes everything again, and Wine's heap grows large
// blocks slowly; on a long session that was most of the receive time.)
//
// The oldest elements can be dropped from the front without moving the rest each time: the live elements form
// a window that slides forward through the reservation, and they move back to its start only when the window
// reaches its end. The pages stay committed, so a full store that keeps dropping and appending touches no new
// memory.
//
// Only when more elements are asked for than the reservation holds do they move, to a reservation twice as
// large, up to the limit (the line store's small indexes start with a modest reservation).
//
// A failure never empties the buffer: the owner decides what to give up. Not thread-safe; the owner locks.
// Like C_DynamicBuffer it owns its block and gives it back through Memory, and it neither copies nor moves.
#include "foundation/base/Memory.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

template <class T> class C_ReservedBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "elements are copied bitwise");

public:
    // Pages are committed in steps of at least this many bytes, so a stream of small appends makes few calls.
    static constexpr size_t kCommitStep = 1024 * 1024;

    C_ReservedBuffer() = default;
    ~C_ReservedBuffer() { Free(); }
    C_ReservedBuffer(const C_ReservedBuffer&) = delete;
    C_ReservedBuffer& operator=(const C_ReservedBuffer&) = delete;

    // reservation: elements reserved at first use; limit: the most elements it may ever hold. Releases what
    // the buffer holds.
    void Configure(uint32_t reservation, uint32_t limit) {
        Free();
        m_limit = limit ? limit : 1;
        m_wanted = reservation < 1 ? 1 : (reservation > m_limit ? m_limit : reservation);
    }

    // Room for n elements in total from Data(). False when that cannot be had (over the limit, no address
    // space or no memory); the elements are kept.
    bool Reserve(uint32_t n) {
        if (m_base + uint64_t(n) <= m_committed)
            return true;
        if (n > m_reserved && !Relocate(n))
            return false;
        if (m_base + uint64_t(n) > m_reserved)
            Compact();
        if (CommitFor(m_base + n))
            return true;
        // Short of memory: the pages before the window are committed and free.
        if (m_base && n <= m_committed) {
            Compact();
            return true;
        }
        return false;
    }

    bool Add(const T& element) {
        if (!Reserve(m_count + 1))
            return false;
        Data()[m_count++] = element;
        return true;
    }

    // Forgets the first n elements; the others keep their order and Data() moves forward.
    void DropFront(uint32_t n) {
        if (n > m_count)
            n = m_count;
        m_base += n;
        m_count -= n;
        if (!m_count)
            m_base = 0;
    }

    void Reset() {
        m_count = 0;
        m_base = 0;
    }
    // Gives the address space and its pages back.
    void Free() {
        Memory::ReleaseAddressSpace(m_region);
        m_region = nullptr;
        m_reserved = m_committed = m_base = m_count = 0;
    }

    T* Data() { return Region() + m_base; }
    const T* Data() const { return Region() + m_base; }
    uint32_t Count() const { return m_count; }
    // The owner writes elements beyond the count (after Reserve) and then states the new count.
    void SetCount(uint32_t count) { m_count = m_base + uint64_t(count) <= m_committed ? count : m_committed - m_base; }
    T& operator[](uint32_t i) { return Data()[i]; }
    const T& operator[](uint32_t i) const { return Data()[i]; }
    T& Last() { return Data()[m_count - 1]; }
    const T& Last() const { return Data()[m_count - 1]; }
    uint32_t Limit() const { return m_limit; }
    // Bytes of committed memory (what the process pays for, touched or not).
    uint64_t CommittedBytes() const { return uint64_t(m_committed) * sizeof(T); }

private:
    T* Region() const { return static_cast<T*>(m_region); }

    // A new reservation of at least n elements (twice the current one while that is below the limit). Where
    // the address space is too fragmented for the size wanted, smaller ones are tried down to n.
    bool Relocate(uint32_t n) {
        if (n > m_limit)
            return false;
        uint64_t size = m_reserved ? 2ull * m_reserved : m_wanted;
        if (size < n)
            size = n;
        if (size > m_limit)
            size = m_limit;
        void* region = nullptr;
        for (;;) {
            region = Memory::ReserveAddressSpace(size_t(size * sizeof(T)));
            if (region || size == n)
                break;
            size = size / 2 > n ? size / 2 : n;
        }
        if (!region)
            return false;
        uint32_t committed = 0;
        if (m_count) {
            if (!Memory::Commit(region, 0, CommitBytes(m_count, uint32_t(size)))) {
                Memory::ReleaseAddressSpace(region);
                return false;
            }
            committed = CommittedFor(m_count, uint32_t(size));
            memcpy(region, Data(), size_t(m_count) * sizeof(T));
        }
        Memory::ReleaseAddressSpace(m_region);
        m_region = region;
        m_reserved = uint32_t(size);
        m_committed = committed;
        m_base = 0;
        return true;
    }

    // The live elements back to the start of the reservation, whose pages are already committed.
    void Compact() {
        if (m_base && m_count)
            memmove(Region(), Data(), size_t(m_count) * sizeof(T));
        m_base = 0;
    }

    // Elements committed when at least `elements` are needed: whole commit steps, within the reservation.
    static uint32_t CommittedFor(uint32_t elements, uint32_t reserved) {
        uint64_t bytes = (uint64_t(elements) * sizeof(T) + kCommitStep - 1) / kCommitStep * kCommitStep;
        uint64_t count = bytes / sizeof(T);
        return count < reserved ? uint32_t(count) : reserved;
    }
    static size_t CommitBytes(uint32_t elements, uint32_t reserved) {
        return size_t(CommittedFor(elements, reserved)) * sizeof(T);
    }

    bool CommitFor(uint32_t elements) {
        uint32_t target = CommittedFor(elements, m_reserved);
        if (!Memory::Commit(m_region, size_t(m_committed) * sizeof(T), size_t(target) * sizeof(T))) {
            // Short of memory for a whole step: the exact need may still fit.
            target = elements;
            if (!Memory::Commit(m_region, size_t(m_committed) * sizeof(T), size_t(target) * sizeof(T)))
                return false;
        }
        if (target > m_committed)
            m_committed = target;
        return true;
    }

    void* m_region = nullptr;
    uint32_t m_wanted = 1024 * 1024;
    uint32_t m_limit = UINT32_MAX / sizeof(T);
    uint32_t m_reserved = 0;  // elements of address space reserved
    uint32_t m_committed = 0; // elements from the region's start whose pages are committed
    uint32_t m_base = 0;      // where the live elements begin
    uint32_t m_count = 0;
};
