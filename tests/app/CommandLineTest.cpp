// Switch parsing: "-" or "/", any letter case, bare words and unknown switches ignored.
#include "app/UpdaterCommandLineInfo.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CommandLine, EachSwitchSetsItsFlag) {
    struct {
        std::vector<const char*> args;
        int uninstall, updateOnStartup, noUpdateOnStartup;
    } cases[] = {
        {{"/uninstall"}, 1, 0, 0},
        {{"-UNINSTALL"}, 1, 0, 0},
        {{"/UnInstall"}, 1, 0, 0},
        {{"uninstall"}, 0, 0, 0},
        {{"--uninstall"}, 0, 0, 0},
        {{"/bogus", "UpdateOnStartup"}, 0, 0, 0},
        {{"/updateonstartup", "file.txt", "/x", "-NoUpdateOnStartup", "/uninstall"}, 1, 1, 1},
    };
    for (auto& c : cases) {
        c.args.insert(c.args.begin(), "Pendlemark.exe");
        SCOPED_TRACE(c.args[1]);
        CUpdaterCommandLineInfo info;
        CWinApp::ParseCommandLine(info, static_cast<int>(c.args.size()), const_cast<char**>(c.args.data()));
        EXPECT_EQ(info.m_uninstall, c.uninstall);
        EXPECT_EQ(info.m_updateOnStartup, c.updateOnStartup);
        EXPECT_EQ(info.m_noUpdateOnStartup, c.noUpdateOnStartup);
    }
}
