// The named mutex: one owner at a time, and ownership passes on when an owner dies.
#include "framework/Mutex.h"

#include <gtest/gtest.h>

#include <thread>

TEST(NamedMutex, OnlyOneOwnerUntilReleased) {
    CMutex first(FALSE, "PmTestMutexA");
    ASSERT_TRUE(first.Lock(0));
    bool otherGotIt = true;
    std::thread([&] {
        CMutex second(FALSE, "PmTestMutexA");
        otherGotIt = second.Lock(0);
    }).join();
    EXPECT_FALSE(otherGotIt);
    EXPECT_TRUE(first.Unlock());
    std::thread([&] {
        CMutex second(FALSE, "PmTestMutexA");
        otherGotIt = second.Lock(0);
        second.Unlock();
    }).join();
    EXPECT_TRUE(otherGotIt);
}

TEST(NamedMutex, AnAbandonedMutexIsAcquired) {
    CMutex mine(FALSE, "PmTestMutexB");
    std::thread([] {
        CMutex owner(FALSE, "PmTestMutexB");
        owner.Lock(0); // ends without releasing
    }).join();
    EXPECT_TRUE(mine.Lock(0));
    mine.Unlock();
}
