// cvlx.exe, deployed as cvl.exe, starts the saved original launcher beside it, in a folder named in a
// script the test bed's code page cannot spell; and the whole round trip through the real program.
// pm_record_args stands in for the original launcher.
#include "InstallFixture.h"

#include "res/resource.h"
#include "support/UiDriver.h"

#include <tlhelp32.h>

namespace {

using pmtest::BuiltProgram;
using pmtest::ReadFileText;

// The command line pm_record_args, copied to that path, recorded once it is complete; empty after
// the time-out.
std::string WaitForRecord(const std::string& program) {
    std::string text;
    pmtest::WaitUntil([&] {
        text = pmtest::ReadFileText(program + ".args");
        return !text.empty() && text.back() == '\n';
    });
    return text;
}

// Waits until no process of that executable name (no folder) runs, so that its file can be replaced.
bool WaitForNoProcessNamed(const char* exeName) {
    return pmtest::WaitUntil([&] {
        CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = snapshot && ::Process32First(snapshot.Get(), &entry); more;
             more = ::Process32Next(snapshot.Get(), &entry))
            if (lstrcmpiA(entry.szExeFile, exeName) == 0)
                return false;
        return static_cast<bool>(snapshot);
    });
}

TEST(LauncherCopy, StartsTheOriginalWithTheSameArguments) {
    pmtest::TempDir dir("pm-run корвалис");
    const std::string original = dir.File("cvlex.exe");
    ASSERT_TRUE(::CopyFileA(BuiltProgram("cvlx.exe").c_str(), dir.File("cvl.exe").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(BuiltProgram("pm_record_args.exe").c_str(), original.c_str(), FALSE));

    for (std::string arguments :
         {"", "-url http://example.test/", "/new \"C:\\My Pages\\start page.htm\"  plain \"x\\\"y\" \"\"",
          "/new \"C:\\Мои страницы\\старт.htm\""}) {
        SCOPED_TRACE(arguments);
        ::DeleteFileA((original + ".args").c_str());
        const std::string tail = arguments.empty() ? "" : " " + arguments;

        pmtest::Process launcher = pmtest::Process::Start(Quote(dir.File("cvl.exe")) + tail);
        EXPECT_EQ(launcher.Wait(10000), 0) << "still running: " << launcher.Running();
        EXPECT_EQ(WaitForRecord(original), Quote(original) + tail + "\n");
        ASSERT_TRUE(WaitForNoProcessNamed("cvlex.exe"));
    }
}

TEST(LauncherCopy, ReportsAMissingOriginal) {
    pmtest::TempDir dir("pm-run корвалис");
    ASSERT_TRUE(::CopyFileA(BuiltProgram("cvlx.exe").c_str(), dir.File("cvl.exe").c_str(), FALSE));

    pmtest::MessageBoxWatcher watcher("Corvalis", IDOK);
    pmtest::Process launcher = pmtest::Process::Start(Quote(dir.File("cvl.exe")) + " -url x");
    pmtest::MessageBoxSeen box = watcher.Wait();

    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.text,
              "Corvalis cannot be started because its launcher is missing:\n\n" + dir.File("cvlex.exe"));
    EXPECT_EQ(launcher.Wait(10000), 1);
}

class EndToEnd : public InstallFixture {};

TEST_F(EndToEnd, SwapInRunCorvalisAndUninstall) {
    const std::string original = ReadFileText(BuiltProgram("pm_record_args.exe"));
    const std::string ours = ReadFileText(BuiltProgram("cvlx.exe"));
    ASSERT_FALSE(original.empty() || ours.empty());
    ASSERT_TRUE(::CopyFileA(BuiltProgram("cvlx.exe").c_str(), ProgramFile("cvlx.exe").c_str(), FALSE));
    ASSERT_TRUE(
        ::CopyFileA(BuiltProgram("pm_record_args.exe").c_str(), LauncherFile("cvl.exe").c_str(), FALSE));

    HWND window = nullptr;
    pmtest::Process resident = StartResident(window);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(ReadFileText(LauncherFile("cvlex.exe")) == original) << "the original was not saved";
    EXPECT_TRUE(ReadFileText(LauncherFile("cvl.exe")) == ours) << "our copy was not put in place";

    // A double-click on the tray icon (id 130, callback message WM_USER) runs "Run Corvalis".
    ::PostMessageA(window, WM_USER, IDR_TRAY, WM_LBUTTONDBLCLK);
    EXPECT_EQ(WaitForRecord(LauncherFile("cvlex.exe")), Quote(LauncherFile("cvlex.exe")) + "\n");
    // The copy must have ended before the uninstall can put the original back over it.
    ASSERT_TRUE(WaitForNoProcessNamed("cvl.exe"));
    ASSERT_TRUE(WaitForNoProcessNamed("cvlex.exe"));

    ASSERT_EQ(RunUninstall(), 0);
    EXPECT_TRUE(ReadFileText(LauncherFile("cvl.exe")) == original) << "the original was not restored";
    EXPECT_FALSE(pmtest::FileExists(LauncherFile("cvlex.exe")));
    EXPECT_FALSE(pmtest::RegValueExists(pmtest::kParamsKey, "InstallDir"));
}

} // namespace
