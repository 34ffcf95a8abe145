// The named mutex: one owner at a time, and ownership passes on when an owner dies.
#include "framework/Mutex.h"

#include <gtest/gtest.h>

#include <thread>

TEST(NamedMutex, OnlyOneOwnerUntilReleasedOrAbandoned) {
    CMutex mine(FALSE, "PmTestMutex");
    ASSERT_TRUE(mine.Lock(0));
    auto otherLocks = [](bool release) {
        bool locked = false;
        std::thread([&] {
            CMutex other(FALSE, "PmTestMutex");
            locked = other.Lock(0);
            if (locked && release)
                other.Unlock();
        }).join();
        return locked;
    };
    EXPECT_FALSE(otherLocks(true));
    EXPECT_TRUE(mine.Unlock());
    // The other thread ends without releasing: the abandoned mutex is still acquired.
    EXPECT_TRUE(otherLocks(false));
    EXPECT_TRUE(mine.Lock(0));
    mine.Unlock();
}
