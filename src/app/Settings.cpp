// The settings record's storage: registry section "Params" and the two cvl.ini keys.
#include "PathUtil.h"
#include "StartProgram.h"
#include "UpdaterApp.h"

#include <ctime>

namespace {
const char kSection[] = "Params";
const char kDefaultServer[] = "ftp.corvalis.com";

CString ReadCvlIni(const char* section, const char* key) {
    char buffer[MAX_PATH] = "";
    ::GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, "cvl.ini");
    return buffer;
}
} // namespace

void CUpdaterApp::LoadSettings() {
    m_server = GetProfileString(kSection, "Server", kDefaultServer);
    m_user = GetProfileString(kSection, "User", "");
    m_pass = GetProfileString(kSection, "Pass", "");
    m_passiveFTP = GetProfileInt(kSection, "PassiveFTP", 0);
    m_pathToFile = GetProfileString(kSection, "PathToFile", "/update/");
    m_updateChoice = GetProfileInt(kSection, "UpdateChoice", 0);
    m_updateInterval = GetProfileInt(kSection, "UpdateInterval", 7);
    m_enableAutoUpdate = GetProfileInt(kSection, "EnableAutoUpdate", 1);
    m_askForConfirmation = GetProfileInt(kSection, "AskForConfirmation", 1);
    m_pollTimer = GetProfileInt(kSection, "PollTimer", 1000);
    m_lastDownloadFile = GetProfileString(kSection, "LastDownloadFile", "");
    m_lastUpdateTime = GetProfileInt(kSection, "LastUpdateTime", 0);
    m_browserDir = ReadCvlIni("USER PREFS", "CORVALIS DIRECTORY");
    m_launcherDir = ReadCvlIni("INSTALL", "MAINDIR");
}

void CUpdaterApp::SaveSettings() {
    WriteProfileString(kSection, "Server", m_server.c_str());
    WriteProfileString(kSection, "User", m_user.c_str());
    WriteProfileString(kSection, "Pass", m_pass.c_str());
    WriteProfileInt(kSection, "PassiveFTP", m_passiveFTP);
    WriteProfileString(kSection, "PathToFile", m_pathToFile.c_str());
    WriteProfileInt(kSection, "UpdateChoice", m_updateChoice);
    WriteProfileInt(kSection, "UpdateInterval", m_updateInterval);
    WriteProfileInt(kSection, "EnableAutoUpdate", m_enableAutoUpdate);
    WriteProfileInt(kSection, "AskForConfirmation", m_askForConfirmation);
    WriteProfileInt(kSection, "PollTimer", m_pollTimer);
    WriteProfileInt(kSection, "LastUpdateTime", m_lastUpdateTime);
    WriteProfileString(kSection, "InstallDir", GetProgramFilePath("").c_str());
}

void CUpdaterApp::RecordLastDownload(const CString& path) {
    m_lastDownloadFile = path;
    WriteProfileString(kSection, "LastDownloadFile", m_lastDownloadFile.c_str());
    m_lastUpdateTime = static_cast<int>(std::time(nullptr));
    WriteProfileInt(kSection, "LastUpdateTime", m_lastUpdateTime);
}

CString CUpdaterApp::GetDownloadFilePath(const CString& name) const {
    CString folder = JoinPath(m_browserDir, "Pendlemark");
    if (folder.empty())
        return CString();
    return JoinPath(folder, name);
}

CString CUpdaterApp::GetLauncherFilePath(const CString& name) const {
    return JoinPath(m_launcherDir, name);
}

CString CUpdaterApp::GetProgramFilePath(const CString& name) const {
    CString directory = DirectoryOf(ModulePath()); // unknown or cut: empty, never a guess
    if (directory.empty())
        return CString();
    CString result = directory + name;
    return result.size() > kMaxBuiltPath ? CString() : result;
}
