// The settings record's storage: registry section "Params" and the two cvl.ini keys.
#include "Settings.h"

#include "PathUtil.h"
#include "RegistryValue.h"
#include "StartProgram.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"

#include <climits>
#include <ctime>
#include <optional>
#include <type_traits>

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

// Empty text is no server or folder, so it sets nothing, as an empty publisher policy pins nothing.
std::optional<CString> PolicyText(const char* name) {
    std::string text;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, kPolicyKeyPath, name, text) != RegistryRead::Value ||
        text.empty())
        return std::nullopt;
    return text;
}

// Only a value the settings dialog could hold: one it would refuse could not be shown there, nor ever
// be confirmed by the user.
std::optional<int> PolicyNumber(const char* name, int low = INT_MIN, int high = INT_MAX) {
    DWORD value = 0;
    if (ReadRegistryDword(HKEY_LOCAL_MACHINE, kPolicyKeyPath, name, value) != RegistryRead::Value)
        return std::nullopt;
    const int number = static_cast<int>(value);
    if (number < low || number > high)
        return std::nullopt;
    return number;
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
    m_policy = other.m_policy;
    m_own = other.m_own;
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
    m_own = {m_server,         m_pathToFile,       m_passiveFTP,        m_updateChoice,
             m_updateInterval, m_enableAutoUpdate, m_askForConfirmation};
    ApplyMachinePolicy();
}

void CSettings::ApplyMachinePolicy() {
    m_policy = 0;
    const auto take = [this](unsigned setting, auto& member, const auto& value) {
        if (value) {
            member = *value;
            m_policy |= setting;
        }
    };
    take(kPolicyServer, m_server, PolicyText("Server"));
    take(kPolicyPathToFile, m_pathToFile, PolicyText("PathToFile"));
    take(kPolicyPassiveFTP, m_passiveFTP, PolicyNumber("PassiveFTP"));
    take(kPolicyUpdateChoice, m_updateChoice, PolicyNumber("UpdateChoice", 0, 1));
    take(kPolicyUpdateInterval, m_updateInterval,
         PolicyNumber("UpdateInterval", kMinUpdateInterval, kMaxUpdateInterval));
    take(kPolicyEnableAutoUpdate, m_enableAutoUpdate, PolicyNumber("EnableAutoUpdate"));
    take(kPolicyAskForConfirmation, m_askForConfirmation, PolicyNumber("AskForConfirmation"));
}

void CSettings::Save(CWinApp& profile) const {
    const auto user = [this](unsigned setting, const auto& own, const auto& member) {
        return PolicySets(setting) ? own : static_cast<std::decay_t<decltype(own)>>(member);
    };
    profile.WriteProfileString(kSection, "Server", user(kPolicyServer, m_own.server, m_server).c_str());
    profile.WriteProfileString(kSection, "User", m_user.c_str());
    profile.WriteProfileString(kSection, "Pass", m_pass.c_str());
    profile.WriteProfileInt(kSection, "PassiveFTP", user(kPolicyPassiveFTP, m_own.passiveFTP, m_passiveFTP));
    profile.WriteProfileString(kSection, "PathToFile",
                               user(kPolicyPathToFile, m_own.pathToFile, m_pathToFile).c_str());
    profile.WriteProfileInt(kSection, "UpdateChoice",
                            user(kPolicyUpdateChoice, m_own.updateChoice, m_updateChoice));
    profile.WriteProfileInt(kSection, "UpdateInterval",
                            user(kPolicyUpdateInterval, m_own.updateInterval, m_updateInterval));
    profile.WriteProfileInt(kSection, "EnableAutoUpdate",
                            user(kPolicyEnableAutoUpdate, m_own.enableAutoUpdate, m_enableAutoUpdate));
    profile.WriteProfileInt(kSection, "AskForConfirmation",
                            user(kPolicyAskForConfirmation, m_own.askForConfirmation, m_askForConfirmation));
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
