// The updater's test bed: real pyftpdlib servers, a browser folder, and the settings of the application.
#pragma once

#include "app/UpdaterApp.h"
#include "support/FtpTestServer.h"
#include "support/TestEnv.h"
#include "support/TrustPackages.h"
#include "update/FtpUpdater.h"
#include "update/UpdateRun.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pmtest {

inline const char kNoUpdate[] = "No Update Available.";
inline const char kNothingNew[] = "There are no new updates available for download.";
inline const char kNoConnection[] = "Unable to establish connection to the Internet";
inline const char kRetrieveFailed[] = "Error retrieving update file.";
inline const char kInstallFailed[] = "Error installing update.";
inline const char kUntrusted[] = "The update file is not signed by a trusted publisher.";
inline const char kForeignProduct[] = "The update file is for another product.";
inline const char kNotNewer[] = "The update file is not newer than the installed one.";

inline const FtpTestServer& MainServer() {
    static const FtpTestServer server("main", 2);
    return server;
}

inline const FtpTestServer& CutServer() {
    static const FtpTestServer server("cut", 3);
    return server;
}

// Names of the files (or, with folders, of every entry) directly in a folder.
inline std::vector<std::string> Entries(const std::string& folder, bool folders = false) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != ".." && (folders || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)))
            names.push_back(name);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

// An FTP update as the update run makes it: the run, from the settings record as it is now (log: where its
// steps go, if anywhere), and its FTP channel.
class FtpRun {
  public:
    FtpRun(const std::string& server, const char* user, const char* password, const char* folder, int passive,
           CUpdateLog* log = nullptr)
        : m_run(std::make_unique<CUpdateRun>(*GetUpdaterApp(), *GetUpdaterApp(), log)),
          m_updater(std::make_unique<CFtpUpdater>(*m_run, server, user, password, folder, passive)) {}
    FtpRun(FtpRun&&) = default;
    FtpRun& operator=(FtpRun&& other) {
        m_updater.reset(); // before the run it works in
        m_run = std::move(other.m_run);
        m_updater = std::move(other.m_updater);
        return *this;
    }
    CFtpUpdater* operator->() const { return m_updater.get(); }
    CFtpUpdater& operator*() const { return *m_updater; }
    CFtpUpdater* get() const { return m_updater.get(); }
    CUpdateRun& Run() const { return *m_run; }

  private:
    std::unique_ptr<CUpdateRun> m_run;
    std::unique_ptr<CFtpUpdater> m_updater;
};

class FtpUpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(MainServer().Available()) << "the update_ftp fixture did not start";
        m_app->SetRegistryKey("Corvalis");
        DeleteCorvalisKeys();
        ClearPins();
        m_app->m_browserDir = m_browser.Path();
        m_app->m_lastDownloadFile.clear();
        m_app->m_lastUpdateTime = 0;
        MainServer().Clear();
        CutServer().Clear();
    }
    void TearDown() override {
        MainServer().Clear();
        CutServer().Clear();
        DeleteCorvalisKeys();
        ClearPins();
    }

    static FtpRun Updater(const FtpTestServer& server = MainServer(), const char* user = "",
                          const char* password = "", const char* folder = "/", int passive = 1,
                          CUpdateLog* log = nullptr) {
        return FtpRun(server.Address(), user, password, folder, passive, log);
    }
    // Connect and install, as the update run does without its window.
    static BOOL Install(CFtpUpdater& updater) {
        return updater.Connect() && updater.InstallNewestPackage("");
    }
    static bool ServePackage(const std::string& name, const FtpTestServer& server = MainServer()) {
        return server.ServeCopy(name, BuiltProgram("pm_test_package.exe"));
    }
    std::string DownloadFolder() const { return m_browser.Path() + "\\Pendlemark"; }
    std::string Downloaded(const std::string& name) const { return DownloadFolder() + "\\" + name; }
    // The command line a test package recorded when it ran, or "" when it never ran.
    std::string RunRecord(const std::string& name) const {
        return ReadFileText(Downloaded(name) + ".cmdline");
    }
    bool NothingRecorded() const {
        return m_app->m_lastDownloadFile.empty() && !RegValueExists(kParamsKey, "LastDownloadFile") &&
               !RegValueExists(kParamsKey, "LastUpdateTime");
    }

    CUpdaterApp* m_app = GetUpdaterApp();
    TempDir m_browser{"browser"};
};

} // namespace pmtest
