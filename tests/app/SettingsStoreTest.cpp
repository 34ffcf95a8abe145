// The settings record against the real registry and cvl.ini of the test prefix.
#include "app/UpdaterApp.h"
#include "support/TestEnv.h"
#include "update/RunSnapshot.h"

#include <gtest/gtest.h>

using namespace pmtest;

namespace {
class SettingsStore : public testing::Test {
  protected:
    void SetUp() override {
        DeleteCorvalisKeys();
        RemoveCvlIni();
        app = GetUpdaterApp();
        app->SetRegistryKey("Corvalis");
    }
    void TearDown() override {
        DeleteCorvalisKeys();
        DeletePolicyKeys();
        RemoveCvlIni();
    }
    CUpdaterApp* app = nullptr;
};

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// A setting the policy can set, as the record holds it and as Params hold it, in text.
std::string InRecord(const CUpdaterApp& app, const std::string& name) {
    const int numbers[] = {app.m_passiveFTP, app.m_updateChoice, app.m_updateInterval, app.m_enableAutoUpdate,
                           app.m_askForConfirmation};
    const char* names[] = {"PassiveFTP", "UpdateChoice", "UpdateInterval", "EnableAutoUpdate",
                           "AskForConfirmation"};
    for (int i = 0; i < 5; ++i)
        if (name == names[i])
            return std::to_string(numbers[i]);
    return name == "Server" ? app.m_server : app.m_pathToFile;
}
std::string InParams(const char* name) {
    return RegValueType(kParamsKey, name) == REG_SZ
               ? RegString(kParamsKey, name)
               : std::to_string(static_cast<int>(RegDword(kParamsKey, name)));
}
} // namespace

TEST_F(SettingsStore, FirstStartWritesEveryValueButLastDownloadFileWithTheirTypes) {
    app->LoadSettings();
    app->SaveSettings();

    const char* strings[] = {"Server", "User", "Pass", "PathToFile", "InstallDir"};
    for (const char* name : strings)
        EXPECT_EQ(RegValueType(kParamsKey, name), static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_FALSE(RegValueExists(kParamsKey, "LastDownloadFile"));
    const std::pair<const char*, DWORD> dwords[] = {
        {"PassiveFTP", 0},         {"UpdateChoice", 0}, {"UpdateInterval", 7}, {"EnableAutoUpdate", 1},
        {"AskForConfirmation", 1}, {"PollTimer", 1000}, {"LastUpdateTime", 0}};
    for (const auto& value : dwords) {
        EXPECT_EQ(RegValueType(kParamsKey, value.first), static_cast<DWORD>(REG_DWORD)) << value.first;
        EXPECT_EQ(RegDword(kParamsKey, value.first), value.second) << value.first;
    }
    EXPECT_EQ(RegString(kParamsKey, "PathToFile"), "/update/");
    EXPECT_EQ(RegString(kParamsKey, "User"), "");
    EXPECT_FALSE(RegString(kParamsKey, "Server").empty());
    EXPECT_EQ(RegString(kParamsKey, "InstallDir"), ProgramDir());
    EXPECT_EQ(RegString(kParamsKey, "InstallDir").back(), '\\');
}

TEST_F(SettingsStore, StoredValuesLoadUnchangedAndWrongTypesYieldDefaults) {
    for (int interval : {0, -3, 500}) {
        SetRegDword(kParamsKey, "UpdateInterval", static_cast<DWORD>(interval));
        app->LoadSettings();
        EXPECT_EQ(app->m_updateInterval, interval);
    }
    SetRegString(kParamsKey, "UpdateInterval", "12"); // string where a number belongs
    SetRegDword(kParamsKey, "PathToFile", 5);         // number where a string belongs
    SetRegString(kParamsKey, "Server", "ftp.example.test");
    SetRegDword(kParamsKey, "PassiveFTP", 1);
    app->LoadSettings();
    EXPECT_EQ(app->m_updateInterval, 7);
    EXPECT_EQ(app->m_pathToFile, "/update/");
    EXPECT_EQ(app->m_server, "ftp.example.test");
    EXPECT_EQ(app->m_passiveFTP, 1);
}

TEST_F(SettingsStore, RecordLastDownloadWritesOnlyItsTwoValuesAndSaveKeepsThem) {
    app->LoadSettings();
    app->SaveSettings();
    SetRegString(kParamsKey, "User", "kept-in-registry");
    app->RecordLastDownload("C:\\Browser\\Pendlemark\\050101-update.exe");
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), "C:\\Browser\\Pendlemark\\050101-update.exe");
    DWORD stamp = RegDword(kParamsKey, "LastUpdateTime");
    EXPECT_NEAR(static_cast<double>(stamp), static_cast<double>(time(nullptr)), 5.0);
    EXPECT_EQ(RegString(kParamsKey, "User"), "kept-in-registry");

    SetRegString(kParamsKey, "LastDownloadFile", "changed elsewhere");
    app->SaveSettings();
    EXPECT_EQ(RegDword(kParamsKey, "LastUpdateTime"), stamp);
    EXPECT_EQ(RegString(kParamsKey, "LastDownloadFile"), "changed elsewhere");
}

TEST_F(SettingsStore, CvlIniGivesTheTwoDirectoriesAndLongValuesAreCut) {
    WriteCvlIni("C:\\Browser", "C:\\Launch");
    app->LoadSettings();
    EXPECT_EQ(app->m_browserDir, "C:\\Browser");
    EXPECT_EQ(app->m_launcherDir, "C:\\Launch");
    EXPECT_EQ(app->GetDownloadFilePath(""), "C:\\Browser\\Pendlemark\\");
    EXPECT_EQ(app->GetLauncherFilePath("cvl.exe"), "C:\\Launch\\cvl.exe");

    std::string longDir = "C:\\" + std::string(400, 'd');
    WriteCvlIni(longDir.c_str(), nullptr);
    app->LoadSettings();
    EXPECT_EQ(app->m_browserDir.size(), 259u);
    EXPECT_EQ(app->m_launcherDir, "");
    // Nothing built on an over-long folder: refused rather than cut.
    EXPECT_EQ(app->GetDownloadFilePath("050101-update.exe"), "");

    RemoveCvlIni();
    app->LoadSettings();
    EXPECT_EQ(app->GetDownloadFilePath("050101-update.exe"), "Pendlemark\\050101-update.exe");
    EXPECT_EQ(app->GetLauncherFilePath("cvl.exe"), "cvl.exe");
}

TEST_F(SettingsStore, APolicyValueOfItsTypeWithinTheDialogsRangeWinsAndNeverReachesParams) {
    const struct {
        const char* name;
        DWORD type;
        std::string data;
        const char* inForce; // the user's own unless the policy wins
    } rows[] = {
        {"Server", REG_SZ, std::string("mirror.example.test", 20), "mirror.example.test"},
        {"Server", REG_SZ, std::string("", 1), "user.example.test"}, // empty: no server
        {"Server", REG_EXPAND_SZ, std::string("mirror.example.test", 20), "user.example.test"},
        {"Server", REG_DWORD, Dword(1), "user.example.test"},
        {"PathToFile", REG_SZ, std::string("/fleet/", 8), "/fleet/"},
        {"PassiveFTP", REG_DWORD, Dword(1), "1"},
        {"UpdateChoice", REG_DWORD, Dword(1), "1"},
        {"UpdateChoice", REG_DWORD, Dword(2), "0"},
        {"UpdateInterval", REG_DWORD, Dword(120), "120"},
        {"UpdateInterval", REG_DWORD, Dword(0), "7"},
        {"UpdateInterval", REG_DWORD, Dword(500), "7"},
        {"UpdateInterval", REG_SZ, std::string("14", 3), "7"},
        {"UpdateInterval", REG_BINARY, Dword(14), "7"},
        {"EnableAutoUpdate", REG_DWORD, Dword(0), "0"},
        {"AskForConfirmation", REG_DWORD, Dword(0), "0"},
        {"AskForConfirmation", REG_QWORD, Dword(0) + Dword(0), "1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " of type " + std::to_string(row.type));
        DeletePolicyKeys();
        SetRegString(kParamsKey, "Server", "user.example.test");
        SetRegString(kParamsKey, "PathToFile", "/mine/");
        app->LoadSettings();
        const std::string own = InRecord(*app, row.name);
        SetPolicyValue(row.name, row.type, row.data);
        app->LoadSettings();
        EXPECT_EQ(InRecord(*app, row.name), row.inForce);
        EXPECT_EQ(app->m_policy != 0, own != row.inForce);
        // Saved through a copy, as the settings dialog's copy carries it: the user's own; and back once
        // the policy has gone.
        const CSettings copy = *app;
        copy.Save(*app);
        EXPECT_EQ(InParams(row.name), own);
        DeletePolicyKeys();
        app->LoadSettings();
        EXPECT_EQ(InRecord(*app, row.name), own);
    }
}

TEST_F(SettingsStore, CvlIniNamesFoldersInAnyScriptInTheSystemsCodePageUtf8OrUtf16) {
    const std::string cyrillic = "C:\\Корвалис Browser";
    std::string longer = "C:\\x";
    for (int i = 0; i < 200; ++i)
        longer += "Ж";
    const struct {
        IniEncoding encoding;
        std::string written, read;
    } cases[] = {
        {IniEncoding::Ansi1252, "C:\\Café Browser", "C:\\Café Browser"},
        {IniEncoding::Utf8, cyrillic, cyrillic},
        {IniEncoding::Utf8Marked, cyrillic, cyrillic},
        {IniEncoding::Utf16Marked, cyrillic, cyrillic},
        {IniEncoding::Utf16Marked, longer, longer.substr(0, 258)}, // cut to 259 bytes, between characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written.substr(0, 24));
        WriteCvlIni(c.written.c_str(), c.written.c_str(), c.encoding);
        app->LoadSettings();
        EXPECT_EQ(app->m_browserDir, c.read);
        EXPECT_EQ(app->m_launcherDir, c.read);
    }
}

// The values kept apart follow their rows too: a security value's policy of another type still wins and
// requires, where a convenience value's would fall back to the user's; a number outside its range is none.
TEST_F(SettingsStore, ASignedListIsRequiredByAnyPolicyThereAndABucketOutsideItsRangeIsDrawnAgain) {
    const struct {
        DWORD policyType; // 0: none
        std::string policy;
        DWORD userType; // 0: none
        std::string user;
        bool required;
    } rows[] = {
        {0, "", 0, "", false},
        {0, "", REG_DWORD, Dword(1), true},
        {0, "", REG_SZ, std::string("0", 2), true},
        {REG_DWORD, Dword(0), REG_DWORD, Dword(1), false},
        {REG_DWORD, Dword(2), REG_DWORD, Dword(0), true},
        {REG_SZ, std::string("0", 2), REG_DWORD, Dword(0), true},
        {REG_QWORD, Dword(0) + Dword(0), 0, "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.policyType) + " over " + std::to_string(row.userType));
        DeleteCorvalisKeys();
        DeletePolicyKeys();
        if (row.policyType)
            SetPolicyValue("RequireSignedFeed", row.policyType, row.policy);
        if (row.userType)
            SetRegValue(kParamsKey, "RequireSignedFeed", row.userType, row.user);
        EXPECT_EQ(CRunSnapshot(*app, *app).m_signedListsRequired, row.required);
    }
    SetRegDword(kParamsKey, "RolloutBucket", 99);
    EXPECT_EQ(LoadRolloutBucket(), 99);
    SetRegDword(kParamsKey, "RolloutBucket", 100);
    const int drawn = LoadRolloutBucket();
    EXPECT_TRUE(drawn >= 0 && drawn < 100) << drawn;
    EXPECT_EQ(RegDword(kParamsKey, "RolloutBucket"), static_cast<DWORD>(drawn));
}
