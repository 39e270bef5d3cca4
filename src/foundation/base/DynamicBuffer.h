#pragma once
// Growable array of plain elements (copied bitwise, never constructed). The line store keeps its cells,
// attributes and indexes in these, so growth is generous: a first block of 102,400 elements, then doubling,
// but never more than 104,857,600 elements added in one step.
#include "foundation/base/Memory.h"
#include "foundation/base/Trace.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

template <class T> class C_DynamicBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "elements are copied bitwise");

public:
    static constexpr uint32_t kMinimumCapacity = 102400;
    static constexpr uint32_t kMaximumStep = 104857600;

    C_DynamicBuffer() = default;
    ~C_DynamicBuffer() { Free(); }
    C_DynamicBuffer(const C_DynamicBuffer&) = delete;
    C_DynamicBuffer& operator=(const C_DynamicBuffer&) = delete;

    // The capacity the buffer grows to when it holds count elements and needs one more. Returns 0 when no
    // capacity above count can be expressed (the 32-bit count or the address space would overflow).
    static uint32_t GrownCapacity(uint32_t count) {
        uint64_t doubled = 2ull * count;
        uint64_t capped = uint64_t(count) + kMaximumStep;
        uint64_t grown = doubled < capped ? doubled : capped;
        if (grown <= kMinimumCapacity)
            grown = kMinimumCapacity;
        if (grown > UINT32_MAX || grown * sizeof(T) > SIZE_MAX || grown <= count)
            return 0;
        return uint32_t(grown);
    }

    void Add(const T& element) {
        if (m_count + 1 > m_capacity && !GrowTo(GrownCapacity(m_count)))
            return;
        m_data[m_count++] = element;
    }

    // Makes room for at least n elements in total, by the same growth rule, so a caller can append a run
    // of elements with one check. False (and the buffer emptied) when that fails.
    bool Reserve(uint32_t n) {
        if (n <= m_capacity)
            return true;
        uint32_t capacity = m_capacity;
        do
            capacity = GrownCapacity(capacity);
        while (capacity != 0 && capacity < n);
        return GrowTo(capacity);
    }

    void Reset() { m_count = 0; }
    void Free() {
        Memory::Release(m_data);
        m_data = nullptr;
        m_count = m_capacity = 0;
    }

    T* Data() { return m_data; }
    const T* Data() const { return m_data; }
    uint32_t Count() const { return m_count; }
    uint32_t Capacity() const { return m_capacity; }
    // The owner moves elements itself for insertion and removal and then states the new count.
    void SetCount(uint32_t count) { m_count = count <= m_capacity ? count : m_capacity; }
    T& operator[](uint32_t i) { return m_data[i]; }
    const T& operator[](uint32_t i) const { return m_data[i]; }
    T& Last() { return m_data[m_count - 1]; }
    const T& Last() const { return m_data[m_count - 1]; }

private:
    bool GrowTo(uint32_t capacity) {
        void* block = capacity ? Memory::Reallocate(m_data, size_t(capacity) * sizeof(T)) : nullptr;
        if (!block) {
            Trace("C_DynamicBuffer::Add: Buffer not allocated. Requested size: %u bytes. this: 0x%X.",
                  unsigned(uint64_t(capacity ? capacity : UINT32_MAX) * sizeof(T)), unsigned(uintptr_t(this)));
            Free();
            return false;
        }
        m_data = static_cast<T*>(block);
        m_capacity = capacity;
        return true;
    }

    T* m_data = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
