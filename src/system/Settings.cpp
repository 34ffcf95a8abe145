// The settings record's storage: registry section "Params" and the two cvl.ini keys.
#include "Settings.h"

#include "AnsiText.h"
#include "PathUtil.h"
#include "RegistryValue.h"
#include "StartProgram.h"
#include "core/IniText.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"

#include <algorithm>
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

const char kCvlIni[] = "cvl.ini";
// Far more than its two folders need; a larger file is left to the system.
constexpr LONGLONG kLargestCvlIni = 1 << 20;
// Room for a value of MAX_PATH characters of up to four bytes each.
constexpr DWORD kCvlIniValueBytes = 4 * MAX_PATH;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// cvl.ini's text when it is written in the system's own code page, as a program that declares no code
// page writes it, while ours is UTF-8: the system would take its bytes as UTF-8 and lose every
// character beyond ASCII. A byte-order mark, zero bytes (UTF-16) or valid UTF-8 it reads right.
std::optional<std::string> CvlIniInSystemCodePage() {
    if (!IsUtf8CodePage())
        return std::nullopt;
    char windows[MAX_PATH];
    const UINT length = ::GetWindowsDirectoryA(windows, sizeof windows);
    const CString path =
        length && length < sizeof windows ? JoinPath(CString(windows, length), kCvlIni) : CString();
    CHandle file(path.empty() ? nullptr
                              : ::CreateFileA(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kLargestCvlIni)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (text.empty() || !::ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
        read != text.size())
        return std::nullopt;
    if (StartsWith(text, "\xEF\xBB\xBF") || StartsWith(text, "\xFF\xFE") || StartsWith(text, "\xFE\xFF") ||
        text.find('\0') != std::string::npos || IsUtf8(text))
        return std::nullopt;
    return FromSystemCodePage(text);
}

// A value longer than a path could be is cut, never inside a character: it builds no path anyway.
CString ReadCvlIni(const char* section, const char* key,
                   const std::optional<std::string>& systemCodePageText) {
    CString value;
    if (systemCodePageText) {
        value = IniValue(*systemCodePageText, section, key).value_or(CString());
    } else {
        char buffer[kCvlIniValueBytes] = "";
        ::GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, kCvlIni);
        value = buffer;
    }
    return FitText(value, kMaxBuiltPath);
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
    const std::optional<std::string> cvlIni = CvlIniInSystemCodePage();
    m_browserDir = ReadCvlIni("USER PREFS", "CORVALIS DIRECTORY", cvlIni);
    m_launcherDir = ReadCvlIni("INSTALL", "MAINDIR", cvlIni);
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
