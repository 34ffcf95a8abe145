// The real program as a process: settings at start, the single-instance rule, exit.
#include "res/resource.h"
#include "support/ResidentProgram.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
class Startup : public testing::Test {
  protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        ResetProgramState();
        DeleteCorvalisKeys();
        RemoveCvlIni();
    }
    static Process StartProgram() { return StartPendlemark("/NoUpdateOnStartup"); }
};
} // namespace

TEST_F(Startup, FirstStartStaysResidentASecondEndsSilentlyAndTheLockReturnsAfterExit) {
    Process first = StartProgram();
    HWND main = FindMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), ProgramDir());
    EXPECT_EQ(RegDword(kParamsKey, "UpdateInterval"), 7u);
    EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));

    Process second = StartProgram();
    EXPECT_EQ(second.Wait(15000), 0);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(FindWindowA(nullptr, "Pendlemark"), main);

    // "E&xit" ends the message loop and the process.
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(first.Wait(15000), 0);

    Process third = StartProgram();
    EXPECT_NE(FindMainWindow(), nullptr);
    EXPECT_TRUE(third.Running());
}
