// cvlx.exe, deployed as cvl.exe: starts the saved original launcher beside it.
#include "InstallFixture.h"

#include "support/UiDriver.h"

namespace {

using pmtest::FileExists;

// Splits a recorded command line into the program (unquoted) and the raw rest.
void SplitRecord(const std::string& line, std::string& program, std::string& rest) {
    size_t end = line[0] == '"' ? line.find('"', 1) : line.find(' ');
    program = line[0] == '"' ? line.substr(1, end - 1) : line.substr(0, end);
    rest = end == std::string::npos ? std::string() : line.substr(end + 1);
    if (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
}

class LauncherCopy : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            ::CopyFileA(pmtest::BuiltProgram("cvlx.exe").c_str(), m_dir.File("cvl.exe").c_str(), FALSE));
    }
    void AddOriginal() {
        ASSERT_TRUE(::CopyFileA(pmtest::BuiltProgram("pm_record_launch.exe").c_str(),
                                m_dir.File("cvlex.exe").c_str(), FALSE));
    }
    std::string Record() const { return m_dir.File("cvlex.exe.txt"); }

    pmtest::TempDir m_dir{"pm-run corvalis"};
};

struct Arguments {
    const char* name;
    const char* text;
};

void PrintTo(const Arguments& a, std::ostream* out) {
    *out << a.name;
}

class LauncherCopyArguments : public LauncherCopy, public ::testing::WithParamInterface<Arguments> {};

TEST_P(LauncherCopyArguments, StartsTheOriginalWithTheSameArgumentsAndReturnsAtOnce) {
    AddOriginal();
    // Keeps the original running until the end, so that ours is seen to return first.
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, "PMTestLauncherRelease");
    ASSERT_NE(release, nullptr);
    const std::string arguments = GetParam().text;
    std::string commandLine = Quote(m_dir.File("cvl.exe"));
    if (!arguments.empty())
        commandLine += " " + arguments;

    pmtest::Process launcher = pmtest::Process::Start(commandLine);
    long code = launcher.Wait(10000);
    bool recorded = pmtest::WaitUntil([&] { return FileExists(Record()); }, 10000);
    ::SetEvent(release);
    ::CloseHandle(release);

    EXPECT_EQ(code, 0);
    ASSERT_TRUE(recorded) << "the original launcher was not started";
    std::string program, rest;
    SplitRecord(pmtest::ReadFileText(Record()), program, rest);
    EXPECT_EQ(lstrcmpiA(program.c_str(), m_dir.File("cvlex.exe").c_str()), 0) << program;
    EXPECT_EQ(rest, arguments);
    EXPECT_TRUE(WaitForNoProcessNamed("cvlex.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    , LauncherCopyArguments,
    ::testing::Values(Arguments{"None", ""}, Arguments{"Simple", "-url http://example.test/"},
                      Arguments{"QuotedSpacedAndEmpty",
                                "/new \"C:\\My Pages\\start page.htm\"  plain \"x\\\"y\" \"\""}),
    [](const ::testing::TestParamInfo<Arguments>& info) { return info.param.name; });

// The icon of a message box: a visible static control showing one.
bool ShowsIcon(HWND box) {
    bool found = false;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            LONG style = ::GetWindowLongA(child, GWL_STYLE);
            if ((style & WS_VISIBLE) && (style & SS_TYPEMASK) == SS_ICON &&
                ::SendMessageA(child, STM_GETICON, 0, 0) != 0)
                *reinterpret_cast<bool*>(param) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(LauncherCopy, ReportsAMissingOriginal) {
    pmtest::Process launcher = pmtest::Process::Start(Quote(m_dir.File("cvl.exe")) + " -url x");

    HWND box = pmtest::WaitForWindow("#32770", "Corvalis", 10000);
    ASSERT_NE(box, nullptr) << "no message box";
    std::string text = pmtest::GetItemText(box, 0xFFFF);
    bool icon = ShowsIcon(box);
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    EXPECT_NE(text.find(m_dir.File("cvlex.exe")), std::string::npos) << text;
    EXPECT_TRUE(icon);
    EXPECT_EQ(launcher.Wait(10000), 1);
    EXPECT_FALSE(FileExists(Record()));
}

} // namespace
