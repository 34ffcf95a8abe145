// The real program as a process: settings at start, the single-instance rule, exit.
#include "res/resource.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
class Startup : public testing::Test {
  protected:
    void SetUp() override {
        ResetProgramState();
        DeleteCorvalisKeys();
        RemoveCvlIni();
    }
    void TearDown() override {
        ResetProgramState();
        DeleteCorvalisKeys();
        RemoveCvlIni();
    }
    static Process StartProgram(const std::string& args = "/NoUpdateOnStartup") {
        return Process::Start("\"" + BuiltProgram("Pendlemark.exe") + "\" " + args);
    }
};
} // namespace

TEST_F(Startup, FirstStartSavesSettingsAndStaysResidentWithAHiddenMainWindow) {
    Process first = StartProgram();
    HWND main = FindMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), ProgramDir());
    EXPECT_EQ(RegDword(kParamsKey, "UpdateInterval"), 7u);
    EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
}

TEST_F(Startup, SecondInstanceEndsSilentlyAndTheLockReturnsAfterTheFirstEnds) {
    Process first = StartProgram();
    HWND main = FindMainWindow();
    ASSERT_NE(main, nullptr);

    Process second = StartProgram();
    EXPECT_EQ(second.Wait(15000), 0);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(FindWindowA(nullptr, "Pendlemark"), main);

    // "E&xit" ends the message loop and the process.
    SendMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    EXPECT_EQ(first.Wait(15000), 0);

    Process third = StartProgram();
    HWND again = FindMainWindow();
    EXPECT_NE(again, nullptr);
    EXPECT_TRUE(third.Running());
}

TEST_F(Startup, UninstallSwitchNeverBecomesResident) {
    Process uninstall = StartProgram("/uninstall");
    EXPECT_EQ(uninstall.Wait(15000), 0);
    EXPECT_EQ(FindWindowA(nullptr, "Pendlemark"), nullptr);
}
