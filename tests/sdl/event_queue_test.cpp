// The host's event queue: order, memory given back as it drains, and what
// happens when no memory can be had.
#include <gtest/gtest.h>

#include <cstdlib>

#include "event_queue.h"

namespace {

using kp::host::EventQueue;
using kp::host::HostEvent;

// Chunks from the heap, counted; refused once `limit` are live.
int live = 0;
int limit = 1 << 30;

void *CountedAllocate(size_t bytes)
{
    if (live >= limit)
        return nullptr;
    ++live;
    return std::malloc(bytes);
}

void CountedRelease(void *chunk, size_t)
{
    --live;
    std::free(chunk);
}

class EventQueueTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        live = 0;
        limit = 1 << 30;
    }
    void TearDown() override { EXPECT_EQ(live, 0) << "chunks left behind"; }
};

HostEvent Numbered(uint32_t n)
{
    HostEvent e;
    e.type = 6;  // MotionNotify
    e.window = 0x2a00001;
    e.x = static_cast<int32_t>(n);
    e.y = -static_cast<int32_t>(n);
    e.detail = n;
    return e;
}

const size_t kPerChunk = EventQueue::kEventsPerChunk;

TEST_F(EventQueueTest, KeepsOrderAcrossChunksAndGivesMemoryBack)
{
    EventQueue q(CountedAllocate, CountedRelease);
    const uint32_t total = static_cast<uint32_t>(5 * kPerChunk + 17);
    for (uint32_t i = 0; i < total; ++i)
        ASSERT_TRUE(q.Push(Numbered(i)));
    EXPECT_EQ(q.Size(), total);
    EXPECT_GE(live, 6);
    EXPECT_EQ(static_cast<size_t>(live), q.Chunks());
    HostEvent e;
    for (uint32_t i = 0; i < total; ++i) {
        ASSERT_TRUE(q.Pop(&e)) << i;
        ASSERT_EQ(e.detail, i);
        ASSERT_EQ(e.x, static_cast<int32_t>(i));
        ASSERT_EQ(e.y, -static_cast<int32_t>(i));
    }
    EXPECT_FALSE(q.Pop(&e));
    EXPECT_TRUE(q.Empty());
    // Drained: the chunk in use and one spare stay, the rest went back as
    // the reading passed them.
    EXPECT_LE(live, 2);
    EXPECT_EQ(q.Lost(), 0u);
}

TEST_F(EventQueueTest, FillingAndDrainingAgainTakesNoMoreMemory)
{
    EventQueue q(CountedAllocate, CountedRelease);
    HostEvent e;
    uint32_t next = 0, expected = 0;
    for (int round = 0; round < 6; ++round) {
        for (size_t i = 0; i < kPerChunk + 3; ++i)
            ASSERT_TRUE(q.Push(Numbered(next++)));
        while (q.Pop(&e))
            ASSERT_EQ(e.detail, expected++);
        EXPECT_LE(live, 2) << "round " << round;
    }
    EXPECT_EQ(expected, next);
}

TEST_F(EventQueueTest, WithoutMemoryEventsAreLostAndCountedNotCorrupted)
{
    limit = 2;
    EventQueue q(CountedAllocate, CountedRelease);
    size_t pushed = 0;
    for (size_t i = 0; i < 3 * kPerChunk; ++i)
        pushed += q.Push(Numbered(static_cast<uint32_t>(i))) ? 1 : 0;
    EXPECT_EQ(pushed, 2 * kPerChunk);
    EXPECT_EQ(q.Lost(), kPerChunk);
    HostEvent e;
    for (uint32_t i = 0; i < pushed; ++i) {
        ASSERT_TRUE(q.Pop(&e));
        ASSERT_EQ(e.detail, i);
    }
    EXPECT_FALSE(q.Pop(&e));
    // Once memory is there again, events are kept again.
    EXPECT_TRUE(q.Push(Numbered(7)));
    ASSERT_TRUE(q.Pop(&e));
    EXPECT_EQ(e.detail, 7u);
}

TEST_F(EventQueueTest, MappedChunksWork)
{
    EventQueue q;  // the system's memory
    HostEvent e;
    for (uint32_t i = 0; i < 2 * kPerChunk; ++i)
        ASSERT_TRUE(q.Push(Numbered(i)));
    for (uint32_t i = 0; i < 2 * kPerChunk; ++i) {
        ASSERT_TRUE(q.Pop(&e));
        ASSERT_EQ(e.detail, i);
    }
    EXPECT_LE(q.Chunks(), 2u);
}

}  // namespace
