#include "foundation/base/DynamicBuffer.h"

#include "support/FailingAllocator.h"

#include <gtest/gtest.h>

#include <string>

TEST(DynamicBufferGrowth, FollowsMinimumDoublingAndCap) {
    using Buffer = C_DynamicBuffer<uint16_t>;
    EXPECT_EQ(Buffer::GrownCapacity(0), 102400u);
    EXPECT_EQ(Buffer::GrownCapacity(50000), 102400u);
    EXPECT_EQ(Buffer::GrownCapacity(102400), 204800u);
    EXPECT_EQ(Buffer::GrownCapacity(200000000), 200000000u + 104857600u);
}

TEST(DynamicBufferGrowth, RefusesWhatCannotBeAddressed) {
    // 32-bit elements: 2^30 of them already fill the 32-bit address space.
    EXPECT_EQ(C_DynamicBuffer<uint32_t>::GrownCapacity(0x40000000u), 0u);
    EXPECT_EQ(C_DynamicBuffer<uint16_t>::GrownCapacity(0xFFFFFFF0u), 0u);
}

TEST(DynamicBuffer, FirstAddReservesMinimumAndKeepsElements) {
    C_DynamicBuffer<uint32_t> buffer;
    EXPECT_EQ(buffer.Data(), nullptr);
    for (uint32_t i = 0; i < 102401; ++i)
        buffer.Add(i);
    EXPECT_EQ(buffer.Count(), 102401u);
    EXPECT_EQ(buffer.Capacity(), 204800u);
    EXPECT_EQ(buffer[0], 0u);
    EXPECT_EQ(buffer.Last(), 102400u);
    buffer.Reset();
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_EQ(buffer.Capacity(), 204800u);
    buffer.Free();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Capacity(), 0u);
}

TEST(DynamicBuffer, FailedGrowthTracesEmptiesAndDropsTheElement) {
    TraceRecorder trace;
    C_DynamicBuffer<uint32_t> buffer;
    buffer.Add(7);
    for (uint32_t i = 1; i < 102400; ++i)
        buffer.Add(i);
    {
        FailingAllocator failAll(0);
        buffer.Add(99);
    }
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_EQ(buffer.Capacity(), 0u);
    ASSERT_EQ(trace.messages.size(), 1u);
    EXPECT_NE(trace.messages[0].find("C_DynamicBuffer::Add: Buffer not allocated. Requested size: 819200 bytes."),
              std::string::npos);
    buffer.Add(5); // usable again afterwards
    EXPECT_EQ(buffer.Count(), 1u);
    EXPECT_EQ(buffer[0], 5u);
}

TEST(DynamicBuffer, ReserveGrowsByTheSameRule) {
    C_DynamicBuffer<uint16_t> buffer;
    EXPECT_TRUE(buffer.Reserve(10));
    EXPECT_EQ(buffer.Capacity(), 102400u);
    EXPECT_TRUE(buffer.Reserve(300000));
    EXPECT_EQ(buffer.Capacity(), 409600u);
}
