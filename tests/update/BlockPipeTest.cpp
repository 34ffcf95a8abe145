// The blocks between the thread that reads a transfer and the one that writes it.
#include "update/BlockPipe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {
long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
} // namespace

// Blocks arrive whole and in order; a reader waiting for a buffer is woken as soon as one comes back, not
// at the end of its wait; one that the writer has stopped gives up.
TEST(BlockPipe, BlocksGoRoundInOrderAndEachSideWakesTheOther) {
    CBlockPipe pipe(2, 4);
    std::vector<char> first, second, third;
    ASSERT_TRUE(pipe.TakeEmpty(first, 0));
    ASSERT_TRUE(pipe.TakeEmpty(second, 0));
    EXPECT_EQ(first.size(), 4u);
    EXPECT_FALSE(pipe.TakeEmpty(third, 0)); // both out: the writer is behind
    first.assign({'a', 'b', 'c', 'd'});
    second.assign({'e', 'f', '?', '?'});
    pipe.PutFull(std::move(first), 4);
    pipe.PutFull(std::move(second), 2);
    ASSERT_EQ(::WaitForSingleObject(pipe.Ready(), 0), WAIT_OBJECT_0);

    // The reader waits for a buffer while the writer takes the blocks a moment later.
    std::chrono::steady_clock::time_point drained;
    std::thread writer([&] {
        ::Sleep(100);
        drained = std::chrono::steady_clock::now();
        std::string written;
        EXPECT_TRUE(
            pipe.Drain([&](const char* data, DWORD size) { return written.append(data, size), true; }));
        EXPECT_EQ(written, "abcdef");
    });
    EXPECT_TRUE(pipe.TakeEmpty(third, 5000));
    const long long woken = MillisecondsSince(drained);
    writer.join();
    EXPECT_LT(woken, 50);

    // A sink that says no stops the drain; a stopped pipe lets a waiting reader go at once.
    third.assign({'x', 'y', 'z', 'w'});
    pipe.PutFull(std::move(third), 4);
    EXPECT_FALSE(pipe.Drain([](const char*, DWORD) { return false; }));
    std::vector<char> fourth, fifth;
    ASSERT_TRUE(pipe.TakeEmpty(fourth, 0));
    ASSERT_TRUE(pipe.TakeEmpty(fifth, 0));
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        ::Sleep(100);
        pipe.Stop();
    });
    std::vector<char> none;
    EXPECT_FALSE(pipe.TakeEmpty(none, 5000));
    stopper.join();
    EXPECT_LT(MillisecondsSince(start), 1000);
}
