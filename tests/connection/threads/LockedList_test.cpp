#include "connection/threads/LockedList.h"

#include "connection/threads/Thread.h"
#include "connection/ThreadTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

struct Item : C_ListEntry {
    explicit Item(int value, int* deletions = nullptr) : value(value), deletions(deletions) {}
    ~Item() override {
        if (deletions)
            ++*deletions;
    }
    int value;
    int* deletions;
};

std::vector<int> Values(C_LockedListOf<Item>& list) {
    std::vector<int> values;
    C_WriteLock lock(list);
    for (Item* item = list.First(); item; item = list.Next(item))
        values.push_back(item->value);
    return values;
}

} // namespace

TEST(LockedList, KeepsInsertionOrderAndOwnsWhatItHolds) {
    int deletions = 0;
    C_LockedListOf<Item> list;
    EXPECT_TRUE(list.IsEmpty());
    Item* items[4];
    for (int i = 0; i < 4; ++i) {
        items[i] = new Item(i, &deletions);
        ASSERT_TRUE(list.Append(items[i]));
    }
    EXPECT_FALSE(list.Append(items[2])) << "an entry is in one list at a time";
    EXPECT_FALSE(list.Append(nullptr));
    EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3}));

    // Removing the first, a middle and the last entry keeps the links consistent both ways.
    ASSERT_TRUE(list.Remove(items[0]));
    ASSERT_TRUE(list.Remove(items[2]));
    EXPECT_FALSE(list.Remove(items[2]));
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
    ASSERT_TRUE(list.Remove(items[3]));
    ASSERT_TRUE(list.Append(items[0])) << "a removed entry can be appended again";
    EXPECT_EQ(Values(list), (std::vector<int>{1, 0}));
    EXPECT_EQ(deletions, 0) << "Remove unlinks without deleting";

    C_LockedListOf<Item> other;
    EXPECT_FALSE(other.Remove(items[1])) << "not in this list";
    EXPECT_FALSE(other.Contains(items[1]));
    EXPECT_TRUE(list.Contains(items[1]));

    list.Clear();
    EXPECT_EQ(deletions, 2);
    EXPECT_TRUE(list.IsEmpty());
    // Membership is decided by address alone, so asking about a deleted entry is safe.
    EXPECT_FALSE(list.Contains(items[0]));
    delete items[2];
    delete items[3];
    EXPECT_EQ(deletions, 4);
}

TEST(LockedList, ReadersShareAndAWriterWaitsForThem) {
    C_LockedList list;
    list.LockRead();

    // A second reader joins while the first is inside.
    C_Thread reader;
    ASSERT_TRUE(reader.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* list = static_cast<C_LockedList*>(raw);
            list->LockRead();
            list->UnlockRead();
            return 1;
        },
        &list));
    EXPECT_TRUE(WaitUntilFinished(reader)) << "a reader waited for another reader";

    struct Context {
        C_LockedList* list;
        C_Handle acquired = CreateManualResetEvent();
    } context{&list};
    C_Thread writer;
    ASSERT_TRUE(writer.Start(
        [](void* raw, DWORD) -> DWORD {
            auto* context = static_cast<Context*>(raw);
            context->list->LockWrite();
            SetEvent(context->acquired.Get());
            context->list->UnlockWrite();
            return 1;
        },
        &context));
    // Nothing can prove a thread is blocked; a writer that got in within this time would show the fault.
    EXPECT_FALSE(WaitSignalled(context.acquired.Get(), 300)) << "the writer got in while a reader was inside";
    list.UnlockRead();
    EXPECT_TRUE(WaitSignalled(context.acquired.Get()));
    EXPECT_TRUE(WaitUntilFinished(writer));
}

// Readers on several threads check an invariant that a writer breaks only inside its write side: the list
// always holds an even number of entries. The writer also reads its own list half-way through a change, which
// must neither let readers in nor dead-lock against a reader waiting for it. Readers that keep overlapping
// would hold a writer off indefinitely (readers go first by design), so each reader makes a bounded number of
// reads.
TEST(LockedList, ConcurrentReadersNeverSeeAWriterHalfWayThrough) {
    constexpr int kRounds = 3000;
    constexpr int kReadsPerReader = 3000;
    constexpr int kReaders = 3;
    struct Shared {
        C_LockedList list;
        std::atomic<bool> writing{true};
        std::atomic<int> oddSeen{0};
        std::atomic<int> reads{0};
    };
    // After a dead-lock the list's lock stays taken, so its destruction would hang too: it is kept then.
    auto* sharedBlock = new Shared;
    Shared& shared = *sharedBlock;

    auto readerLoop = [](void* raw, DWORD) -> DWORD {
        auto* shared = static_cast<Shared*>(raw);
        for (int read = 0; read < kReadsPerReader && shared->writing; ++read) {
            shared->list.LockRead();
            unsigned count = 0;
            for (C_ListEntry* at = shared->list.First(); at; at = shared->list.Next(at))
                ++count;
            if (count % 2)
                ++shared->oddSeen;
            shared->list.UnlockRead();
            ++shared->reads;
            shared->list.Contains(nullptr); // a first read of its own, racing the writer's
        }
        return 0;
    };
    auto writerLoop = [](void* raw, DWORD) -> DWORD {
        auto* shared = static_cast<Shared*>(raw);
        for (int round = 0; round < kRounds; ++round) {
            shared->list.LockWrite();
            auto* first = new Item(round);
            shared->list.Append(first);
            shared->list.Contains(first); // the writer reading mid-change
            shared->list.Append(new Item(round));
            if (round % 3 == 2) {
                C_ListEntry* oldest = shared->list.First();
                shared->list.Remove(oldest);
                delete oldest;
                shared->list.Contains(oldest);
                oldest = shared->list.First();
                shared->list.Remove(oldest);
                delete oldest;
            }
            shared->list.UnlockWrite();
        }
        shared->writing = false;
        return 0;
    };

    C_Thread readers[kReaders];
    C_Thread writer;
    for (C_Thread& reader : readers)
        ASSERT_TRUE(reader.Start(readerLoop, &shared));
    ASSERT_TRUE(writer.Start(writerLoop, &shared));
    const bool finished = WaitUntilFinished(writer, 120000);
    shared.writing = false;
    for (C_Thread& reader : readers)
        EXPECT_TRUE(WaitUntilFinished(reader));
    ASSERT_TRUE(finished) << "dead-lock between the writer's own reads and a waiting reader";
    EXPECT_EQ(shared.oddSeen, 0);
    EXPECT_GT(shared.reads, 0);
    delete sharedBlock;
}
