// The settings record's storage: registry section "Params" and the two cvl.ini keys.
#include "Settings.h"

#include "PathUtil.h"
#include "RegistryValue.h"
#include "StartProgram.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"

#include <ctime>

const char kMakerKeyPath[] = "Software\\Corvalis";
const char kProgramKeyPath[] = "Software\\Corvalis\\Pendlemark";
const char kParamsKeyPath[] = "Software\\Corvalis\\Pendlemark\\Params";
const char kPackagesKeyPath[] = "Software\\Corvalis\\Pendlemark\\Params\\Packages";
const char kPolicyKeyPath[] = "Software\\Policies\\Corvalis\\Pendlemark";

namespace {
const char kSection[] = "Params";
const char kDefaultServer[] = "ftp.corvalis.com";

CString ReadCvlIni(const char* section, const char* key) {
    char buffer[MAX_PATH] = "";
    ::GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, "cvl.ini");
    return buffer;
}
} // namespace

CSettings& CSettings::operator=(const CSettings& other) {
    if (this == &other)
        return *this;
    m_server = other.m_server;
    m_user = other.m_user;
    m_pass = other.m_pass;
    m_passiveFTP = other.m_passiveFTP;
    m_pathToFile = other.m_pathToFile;
    m_updateChoice = other.m_updateChoice;
    m_updateInterval = other.m_updateInterval.load();
    m_enableAutoUpdate = other.m_enableAutoUpdate.load();
    m_askForConfirmation = other.m_askForConfirmation.load();
    m_pollTimer = other.m_pollTimer;
    m_lastDownloadFile = other.m_lastDownloadFile;
    m_lastUpdateTime = other.m_lastUpdateTime;
    m_browserDir = other.m_browserDir;
    m_launcherDir = other.m_launcherDir;
    return *this;
}

void CSettings::Load(CWinApp& profile) {
    m_server = profile.GetProfileString(kSection, "Server", kDefaultServer);
    m_user = profile.GetProfileString(kSection, "User", "");
    m_pass = profile.GetProfileString(kSection, "Pass", "");
    m_passiveFTP = profile.GetProfileInt(kSection, "PassiveFTP", 0);
    m_pathToFile = profile.GetProfileString(kSection, "PathToFile", "/update/");
    m_updateChoice = profile.GetProfileInt(kSection, "UpdateChoice", 0);
    m_updateInterval = profile.GetProfileInt(kSection, "UpdateInterval", 7);
    m_enableAutoUpdate = profile.GetProfileInt(kSection, "EnableAutoUpdate", 1);
    m_askForConfirmation = profile.GetProfileInt(kSection, "AskForConfirmation", 1);
    m_pollTimer = profile.GetProfileInt(kSection, "PollTimer", 1000);
    m_lastDownloadFile = profile.GetProfileString(kSection, "LastDownloadFile", "");
    m_lastUpdateTime = profile.GetProfileInt(kSection, "LastUpdateTime", 0);
    m_browserDir = ReadCvlIni("USER PREFS", "CORVALIS DIRECTORY");
    m_launcherDir = ReadCvlIni("INSTALL", "MAINDIR");
}

void CSettings::Save(CWinApp& profile) const {
    profile.WriteProfileString(kSection, "Server", m_server.c_str());
    profile.WriteProfileString(kSection, "User", m_user.c_str());
    profile.WriteProfileString(kSection, "Pass", m_pass.c_str());
    profile.WriteProfileInt(kSection, "PassiveFTP", m_passiveFTP);
    profile.WriteProfileString(kSection, "PathToFile", m_pathToFile.c_str());
    profile.WriteProfileInt(kSection, "UpdateChoice", m_updateChoice);
    profile.WriteProfileInt(kSection, "UpdateInterval", m_updateInterval);
    profile.WriteProfileInt(kSection, "EnableAutoUpdate", m_enableAutoUpdate);
    profile.WriteProfileInt(kSection, "AskForConfirmation", m_askForConfirmation);
    profile.WriteProfileInt(kSection, "PollTimer", m_pollTimer);
    profile.WriteProfileInt(kSection, "LastUpdateTime", m_lastUpdateTime);
    profile.WriteProfileString(kSection, "InstallDir", GetProgramFilePath("").c_str());
}

void CSettings::RecordLastDownload(CWinApp& profile, const CString& path) {
    m_lastDownloadFile = path;
    profile.WriteProfileString(kSection, "LastDownloadFile", m_lastDownloadFile.c_str());
    m_lastUpdateTime = static_cast<int>(std::time(nullptr));
    profile.WriteProfileInt(kSection, "LastUpdateTime", m_lastUpdateTime);
}

CString CSettings::GetDownloadFilePath(const CString& name) const {
    CString folder = JoinPath(m_browserDir, "Pendlemark");
    if (folder.empty())
        return CString();
    return JoinPath(folder, name);
}

CString CSettings::GetLauncherFilePath(const CString& name) const {
    return JoinPath(m_launcherDir, name);
}

CString CSettings::GetProgramFilePath(const CString& name) {
    CString directory = DirectoryOf(ModulePath()); // unknown or cut: empty, never a guess
    if (directory.empty())
        return CString();
    CString result = directory + name;
    return result.size() > kMaxBuiltPath ? CString() : result;
}

std::string ReadParamsText(const char* name) {
    std::string text;
    ReadRegistryText(HKEY_CURRENT_USER, kParamsKeyPath, name, text);
    return text;
}

void WriteParamsText(const char* name, const std::string& text) {
    CRegKey params;
    if (params.Create(HKEY_CURRENT_USER, kParamsKeyPath) != ERROR_SUCCESS)
        return;
    if (text.empty())
        ::RegDeleteValueA(params.Get(), name);
    else
        ::RegSetValueExA(params.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
}
