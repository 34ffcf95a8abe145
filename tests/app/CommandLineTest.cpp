// Switch parsing: "-" or "/", any letter case, bare words ignored.
#include "app/UpdaterCommandLineInfo.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
CUpdaterCommandLineInfo Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "Pendlemark.exe");
    CUpdaterCommandLineInfo info;
    CWinApp::ParseCommandLine(info, static_cast<int>(args.size()), const_cast<char**>(args.data()));
    return info;
}

struct Recorder : CCommandLineInfo {
    struct Call {
        std::string param;
        bool isSwitch, isLast;
    };
    std::vector<Call> calls;
    void ParseParam(const char* param, bool isSwitch, bool isLast) override {
        calls.push_back({param, isSwitch, isLast});
    }
};
} // namespace

TEST(CommandLine, UninstallInAnyCaseAfterSlashOrDash) {
    EXPECT_EQ(Parse({"/uninstall"}).m_uninstall, 1);
    EXPECT_EQ(Parse({"-UNINSTALL"}).m_uninstall, 1);
    EXPECT_EQ(Parse({"/UnInstall"}).m_uninstall, 1);
    EXPECT_EQ(Parse({"uninstall"}).m_uninstall, 0);
    EXPECT_EQ(Parse({"--uninstall"}).m_uninstall, 0);
}

TEST(CommandLine, SeveralSwitchesEachSetTheirFlagAndUnknownOnesAreIgnored) {
    CUpdaterCommandLineInfo info =
        Parse({"/updateonstartup", "file.txt", "/x", "-NoUpdateOnStartup", "/uninstall"});
    EXPECT_EQ(info.m_uninstall, 1);
    EXPECT_EQ(info.m_updateOnStartup, 1);
    EXPECT_EQ(info.m_noUpdateOnStartup, 1);
    CUpdaterCommandLineInfo none = Parse({"/bogus", "UpdateOnStartup"});
    EXPECT_EQ(none.m_uninstall + none.m_updateOnStartup + none.m_noUpdateOnStartup, 0);
}

TEST(CommandLine, ParserGetsSwitchCharacterRemovedAndTheLastFlag) {
    Recorder recorder;
    const char* argv[] = {"prog", "/a", "b", "-c"};
    CWinApp::ParseCommandLine(recorder, 4, const_cast<char**>(argv));
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_EQ(recorder.calls[0].param, "a");
    EXPECT_TRUE(recorder.calls[0].isSwitch);
    EXPECT_EQ(recorder.calls[1].param, "b");
    EXPECT_FALSE(recorder.calls[1].isSwitch);
    EXPECT_FALSE(recorder.calls[1].isLast);
    EXPECT_EQ(recorder.calls[2].param, "c");
    EXPECT_TRUE(recorder.calls[2].isLast);
}
