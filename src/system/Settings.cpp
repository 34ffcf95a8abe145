// The settings record's storage: registry section "Params" and the two cvl.ini keys.
#include "Settings.h"

#include "AnsiText.h"
#include "PathUtil.h"
#include "StartProgram.h"
#include "core/IniText.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"

#include <ctime>
#include <optional>

namespace {
const char kSection[] = "Params";

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

// A value of the record, as its member holds it.
CSettings::Value Get(const CSettings& settings, const RecordMember& member) {
    CSettings::Value value;
    if (member.text)
        value.text = settings.*member.text;
    else
        value.number = member.number ? settings.*member.number : (settings.*member.shared).load();
    return value;
}

void Set(CSettings& settings, const RecordMember& member, const CSettings::Value& value) {
    if (member.text)
        settings.*member.text = value.text;
    else if (member.number)
        settings.*member.number = value.number;
    else
        settings.*member.shared = value.number;
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
    for (const RegistryRow& row : RegistryRows()) {
        if (row.kept != Kept::Saved && row.kept != Kept::Loaded)
            continue;
        Value value;
        if (row.type == RegistryType::Text)
            value.text = profile.GetProfileString(kSection, row.name, row.missing.text);
        else
            value.number = profile.GetProfileInt(kSection, row.name, row.missing.number);
        Set(*this, row.member, value);
    }
    const std::optional<std::string> cvlIni = CvlIniInSystemCodePage();
    m_browserDir = ReadCvlIni("USER PREFS", "CORVALIS DIRECTORY", cvlIni);
    m_launcherDir = ReadCvlIni("INSTALL", "MAINDIR", cvlIni);
    ApplyMachinePolicy();
}

void CSettings::ApplyMachinePolicy() {
    m_policy = 0;
    for (const RegistryRow& row : RegistryRows()) {
        if (!row.member.Present() || row.setBy != SetBy::Policy)
            continue;
        m_own[static_cast<unsigned>(row.id)] = Get(*this, row.member);
        const RegistryData policy = ReadPolicyValue(row.id);
        if (!PolicyWins(row.id, policy))
            continue;
        Value value;
        value.text = policy.text;
        value.number = static_cast<int>(policy.number);
        Set(*this, row.member, value);
        m_policy |= PolicyBit(row.id);
    }
}

void CSettings::Save(CWinApp& profile) const {
    for (const RegistryRow& row : RegistryRows()) {
        if (row.kept == Kept::Folder)
            profile.WriteProfileString(kSection, row.name, GetProgramFilePath("").c_str());
        if (row.kept != Kept::Saved)
            continue;
        const Value value =
            PolicySets(row.id) ? m_own[static_cast<unsigned>(row.id)] : Get(*this, row.member);
        if (row.type == RegistryType::Text)
            profile.WriteProfileString(kSection, row.name, value.text.c_str());
        else
            profile.WriteProfileInt(kSection, row.name, value.number);
    }
}

void CSettings::RecordLastDownload(CWinApp& profile, const CString& path) {
    m_lastDownloadFile = path;
    profile.WriteProfileString(kSection, Row(RegistryName::LastDownloadFile).name,
                               m_lastDownloadFile.c_str());
    m_lastUpdateTime = static_cast<int>(std::time(nullptr));
    profile.WriteProfileInt(kSection, Row(RegistryName::LastUpdateTime).name, m_lastUpdateTime);
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
