// Joining paths character-wise in the ANSI code page, and never past MAX_PATH.
#include "system/AnsiText.h"
#include "system/PathUtil.h"
#include "app/UpdaterApp.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

TEST(PathJoin, SeparatorIsAddedOnlyWhenMissing) {
    EXPECT_EQ(JoinPath("C:\\Browser", "Pendlemark"), "C:\\Browser\\Pendlemark");
    EXPECT_EQ(JoinPath("C:\\Browser\\", "Pendlemark"), "C:\\Browser\\Pendlemark");
    EXPECT_EQ(JoinPath("C:/Browser/", "x.exe"), "C:/Browser/x.exe");
    EXPECT_EQ(JoinPath("", "cvl.exe"), "cvl.exe");
    EXPECT_EQ(JoinPath("C:\\Browser", ""), "C:\\Browser\\");
}

TEST(PathJoin, TrailByteOfADoubleByteCharacterIsNoSeparator) {
    // 0x83 0x5C is one Shift-JIS character whose second byte looks like a backslash.
    const std::string dir = "C:\\\x83\x5C";
    EXPECT_FALSE(EndsWithSeparator(dir, LeadByteTestOf(932)));
    EXPECT_EQ(JoinPath(dir, "a.exe", 932), dir + "\\a.exe");
    EXPECT_TRUE(EndsWithSeparator(dir, LeadByteTestOf(1252))); // single-byte code page: it is a backslash
    EXPECT_TRUE(EndsWithSeparator(dir + "\\", LeadByteTestOf(932)));
    EXPECT_EQ(DirectoryOf("C:\\\x83\x5C"
                          "name.exe",
                          932),
              "C:\\");
    EXPECT_EQ(DirectoryOf("C:\\dir\\name.exe"), "C:\\dir\\");
    // Nor is a trail byte a letter to fold: 0x83 0x61 and 0x83 0x41 are two characters.
    EXPECT_FALSE(SameTextIgnoringAsciiCase(dir + "\x83\x61", "c:\\\x83\\\x83\x41", 932));
    EXPECT_TRUE(SameTextIgnoringAsciiCase(dir + "\x83\x61", "c:\\\x83\\\x83\x41", 1252));
}

TEST(PathJoin, LongResultsAreRefusedNotCutAndProgramFilesLieBesideThisProgram) {
    std::string dir(250, 'a');
    EXPECT_EQ(JoinPath(dir, "12345678").size(), 260u - 1);
    EXPECT_EQ(JoinPath(dir, "123456789"), "");
    CUpdaterApp* app = GetUpdaterApp();
    app->m_browserDir = "C:\\" + std::string(240, 'b');
    EXPECT_EQ(app->GetDownloadFilePath(""), app->m_browserDir + "\\Pendlemark\\");
    EXPECT_EQ(app->GetDownloadFilePath("050101-update.exe"), "");
    app->m_browserDir.clear();
    EXPECT_EQ(app->GetProgramFilePath(""), pmtest::ProgramDir());
    EXPECT_EQ(app->GetProgramFilePath("CVLHelp.htm"), pmtest::ProgramDir() + "CVLHelp.htm");
}
