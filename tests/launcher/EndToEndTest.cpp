// From the first start to the uninstall, with the real launcher copy and a stand-in original.
#include "InstallFixture.h"

#include "res/resource.h"
#include "support/UiDriver.h"

namespace {

using pmtest::FileExists;
using pmtest::ReadFileText;

class EndToEnd : public InstallFixture {};

TEST_F(EndToEnd, SwapInRunCorvalisAndUninstall) {
    const std::string original = pmtest::ReadFileText(pmtest::BuiltProgram("pm_record_launch.exe"));
    const std::string ours = pmtest::ReadFileText(pmtest::BuiltProgram("cvlx.exe"));
    ASSERT_FALSE(original.empty());
    ASSERT_FALSE(ours.empty());
    ASSERT_TRUE(
        ::CopyFileA(pmtest::BuiltProgram("cvlx.exe").c_str(), ProgramFile("cvlx.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("pm_record_launch.exe").c_str(),
                            LauncherFile("cvl.exe").c_str(), FALSE));

    HWND window = nullptr;
    pmtest::Process resident = StartResident(window);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(ReadFileText(LauncherFile("cvlex.exe")) == original) << "the original was not saved";
    EXPECT_TRUE(ReadFileText(LauncherFile("cvl.exe")) == ours) << "our copy was not put in place";

    // A double-click on the tray icon (id 130, callback message WM_USER) runs "Run Corvalis".
    ::PostMessageA(window, WM_USER, IDR_TRAY, WM_LBUTTONDBLCLK);
    const std::string record = LauncherFile("cvlex.exe.txt");
    ASSERT_TRUE(pmtest::WaitUntil([&] { return FileExists(record); }, 10000)) << "the original did not start";
    EXPECT_EQ(ReadFileText(record), Quote(LauncherFile("cvlex.exe")));
    // The copy must have ended before the uninstall can put the original back over it.
    ASSERT_TRUE(WaitForNoProcessNamed("cvl.exe"));
    ASSERT_TRUE(WaitForNoProcessNamed("cvlex.exe"));

    ASSERT_EQ(RunUninstall(), 0);
    EXPECT_TRUE(ReadFileText(LauncherFile("cvl.exe")) == original) << "the original was not restored";
    EXPECT_FALSE(FileExists(LauncherFile("cvlex.exe")));
    EXPECT_FALSE(pmtest::RegValueExists(pmtest::kParamsKey, "InstallDir"));
    pmtest::ResetProgramState();

    // Restored is untouched again: the next start swaps in anew.
    StartAndCloseResident();
    EXPECT_TRUE(ReadFileText(LauncherFile("cvlex.exe")) == original);
    EXPECT_TRUE(ReadFileText(LauncherFile("cvl.exe")) == ours);
}

} // namespace
