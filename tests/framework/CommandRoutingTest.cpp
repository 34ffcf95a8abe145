#include "framework/FrameWnd.h"

#include <gtest/gtest.h>

TEST(Smoke, RunsUnderWine) {
    EXPECT_NE(::GetModuleHandleA(nullptr), nullptr);
}
