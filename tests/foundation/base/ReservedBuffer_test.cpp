#include "foundation/base/ReservedBuffer.h"

#include "support/FailingAllocator.h"

#include <gtest/gtest.h>

namespace {

void Fill(C_ReservedBuffer<uint32_t>& buffer, uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i)
        ASSERT_TRUE(buffer.Add(i));
}

bool HoldsRun(const C_ReservedBuffer<uint32_t>& buffer, uint32_t first) {
    for (uint32_t i = 0; i < buffer.Count(); ++i)
        if (buffer[i] != first + i)
            return false;
    return true;
}

} // namespace

TEST(ReservedBuffer, GrowsInPlaceAcrossManyCommitSteps) {
    C_ReservedBuffer<uint32_t> buffer;
    buffer.Configure(4 * 1024 * 1024, 4 * 1024 * 1024);
    ASSERT_TRUE(buffer.Add(0));
    const uint32_t* start = buffer.Data();
    Fill(buffer, 1, 3 * 1024 * 1024);
    EXPECT_EQ(buffer.Data(), start) << "nothing moved while growing";
    EXPECT_TRUE(HoldsRun(buffer, 0));
    EXPECT_LE(buffer.CommittedBytes(), 3ull * 1024 * 1024 * 4 + C_ReservedBuffer<uint32_t>::kCommitStep);
    EXPECT_FALSE(buffer.Reserve(4 * 1024 * 1024 + 1)) << "beyond the limit";
    EXPECT_EQ(buffer.Count(), 3u * 1024 * 1024);
}

// Dropping slides the window; the elements move back to the start only when the window reaches the end.
TEST(ReservedBuffer, DroppingSlidesAndCompactsOnlyAtTheEnd) {
    C_ReservedBuffer<uint32_t> buffer;
    buffer.Configure(1000, 1000);
    Fill(buffer, 0, 600);
    const uint32_t* region = buffer.Data();
    buffer.DropFront(100);
    EXPECT_EQ(buffer.Data(), region + 100);
    Fill(buffer, 600, 1000);
    EXPECT_EQ(buffer.Data(), region + 100) << "room after the window was enough";
    buffer.DropFront(200);
    Fill(buffer, 1000, 1300);
    EXPECT_EQ(buffer.Data(), region);
    EXPECT_EQ(buffer.Count(), 1000u);
    EXPECT_TRUE(HoldsRun(buffer, 300));
}

TEST(ReservedBuffer, OutgrowingTheReservationMovesOnceToALargerOne) {
    C_ReservedBuffer<uint32_t> buffer;
    buffer.Configure(1000, 100000);
    Fill(buffer, 0, 1000);
    buffer.DropFront(10);
    Fill(buffer, 1000, 5000);
    EXPECT_TRUE(HoldsRun(buffer, 10));
}

// A failure keeps what the buffer holds; the caller decides what to give up.
TEST(ReservedBuffer, FailedCommitKeepsTheElementsAndReusesTheDroppedFront) {
    C_ReservedBuffer<uint32_t> buffer;
    buffer.Configure(8 * 1024 * 1024, 8 * 1024 * 1024);
    const uint32_t perStep = C_ReservedBuffer<uint32_t>::kCommitStep / 4;
    Fill(buffer, 0, 2 * perStep);
    FailingAllocator noMore(2 * C_ReservedBuffer<uint32_t>::kCommitStep + 1);
    EXPECT_FALSE(buffer.Add(2 * perStep));
    EXPECT_EQ(buffer.Count(), 2 * perStep);
    EXPECT_TRUE(HoldsRun(buffer, 0));
    buffer.DropFront(perStep);
    Fill(buffer, 2 * perStep, 3 * perStep);
    EXPECT_TRUE(HoldsRun(buffer, perStep));
}
