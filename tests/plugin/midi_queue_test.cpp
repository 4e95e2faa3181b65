#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "plugin/ChunkBuffer.h"
#include "plugin/MidiQueue.h"

namespace halvane {

namespace {

MidiEvent Event(int offset, uint8_t tag) {
    MidiEvent e;
    e.offset = offset;
    e.status = 0x90;
    e.data1 = tag;
    e.data2 = 100;
    return e;
}

std::vector<MidiEvent> Drain(MidiQueue& q) {
    std::vector<MidiEvent> out;
    while (!q.Empty()) {
        out.push_back(q.Front());
        q.PopFront();
    }
    return out;
}

TEST(MidiQueue, KeepsOffsetOrderAndArrivalOrderForEqualOffsets) {
    MidiQueue q;
    q.Add(Event(10, 1));
    q.Add(Event(5, 2));
    q.Add(Event(10, 3));
    q.Add(Event(0, 4));
    q.Add(Event(5, 5));
    const auto out = Drain(q);
    const uint8_t expected[] = {4, 2, 5, 1, 3};
    ASSERT_EQ(out.size(), 5u);
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i].data1, expected[i]) << "position " << i;
}

TEST(MidiQueue, ThousandsOfEventsGrowTheQueueAndStayOrdered) {
    MidiQueue q;
    std::mt19937 random(7);
    const int count = 5000;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(q.Add(Event(static_cast<int>(random() % 256), static_cast<uint8_t>(i & 0x7F))));
    EXPECT_GE(q.Capacity(), count);
    EXPECT_EQ(q.Capacity() % MidiQueue::kInitialGrowth, 0);
    const auto out = Drain(q);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 1; i < out.size(); ++i)
        EXPECT_LE(out[i - 1].offset, out[i].offset);
}

TEST(MidiQueue, CompactsBeforeGrowingWhenFrontEventsWereConsumed) {
    MidiQueue q;
    for (int i = 0; i < MidiQueue::kInitialCapacity; ++i)
        q.Add(Event(i, 0));
    for (int i = 0; i < 100; ++i)
        q.PopFront();
    q.Add(Event(5000, 9));
    EXPECT_EQ(q.Capacity(), MidiQueue::kInitialCapacity) << "room was made by compaction";
    EXPECT_EQ(q.Size(), MidiQueue::kInitialCapacity - 100 + 1);
    EXPECT_EQ(q.Front().offset, 100);
}

TEST(MidiQueue, ResizeFollowsTheBlockSize) {
    MidiQueue q;
    q.Resize(1000);
    EXPECT_EQ(q.GrowthStep(), 1024);
    EXPECT_EQ(q.Capacity(), 1024);
    q.Resize(64);
    EXPECT_EQ(q.GrowthStep(), 512);
    EXPECT_EQ(q.Capacity(), 512);

    for (int i = 0; i < 700; ++i)
        q.Add(Event(i, 0));
    q.Resize(64);
    EXPECT_EQ(q.Capacity(), 1024) << "held events are kept: 700 rounded up to 1024";
    EXPECT_EQ(q.Size(), 700);

    MidiQueue zero;
    zero.Resize(0);
    EXPECT_GT(zero.GrowthStep(), 0) << "a block size of 0 must not stop growth";
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(zero.Add(Event(i, 0)));
}

TEST(MidiQueue, ShiftOffsetsMovesOnlyWaitingEvents) {
    MidiQueue q;
    q.Add(Event(10, 1));
    q.Add(Event(300, 2));
    q.PopFront();
    q.ShiftOffsets(256);
    ASSERT_EQ(q.Size(), 1);
    EXPECT_EQ(q.Front().offset, 44);
    q.PopFront();
    EXPECT_TRUE(q.Empty());
}

TEST(ChunkBuffer, ValuesAreLittleEndianAndReadsStopAtTheEnd) {
    ChunkBuffer c;
    c.Put(static_cast<int32_t>(0x01020304));
    c.Put(1.5);
    c.PutString("abc");
    ASSERT_EQ(c.Size(), 4 + 8 + 4 + 3);
    EXPECT_EQ(c.Data()[0], 0x04);
    EXPECT_EQ(c.Data()[3], 0x01);

    int32_t i = 0;
    double d = 0;
    std::string s;
    int pos = c.Get(&i, 0);
    pos = c.Get(&d, pos);
    pos = c.GetString(s, pos);
    EXPECT_EQ(i, 0x01020304);
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(pos, c.Size());

    EXPECT_EQ(c.Get(&d, pos), -1) << "past the end";
    EXPECT_EQ(c.Get(&d, c.Size() - 4), -1) << "a value running past the end";
    EXPECT_EQ(c.Get(&i, -1), -1) << "a negative position stays negative";
}

TEST(ChunkBuffer, TextLengthsThatLieAreRefused) {
    ChunkBuffer c;
    c.Put(static_cast<int32_t>(1000));
    c.PutBytes("short", 5);
    std::string s = "unchanged";
    EXPECT_EQ(c.GetString(s, 0), -1);
    EXPECT_EQ(s, "unchanged");

    ChunkBuffer negative;
    negative.Put(static_cast<int32_t>(-5));
    EXPECT_EQ(negative.GetString(s, 0), -1);

    ChunkBuffer empty;
    empty.PutString("");
    EXPECT_EQ(empty.GetString(s, 0), 4);
    EXPECT_EQ(s, "");
    EXPECT_FALSE(empty.Resize(-1));
    EXPECT_FALSE(empty.PutBytes(nullptr, 3));
}

} // namespace

} // namespace halvane
