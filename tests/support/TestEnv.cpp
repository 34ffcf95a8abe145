#include "TestEnv.h"

#include "system/UpdateLog.h"

#include "UiDriver.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace pmtest {

std::string ProgramDir() {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::string BuiltProgram(const char* name) {
    return ProgramDir() + name;
}

TempDir::TempDir(const std::string& hint) {
    static LONG counter = 0;
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%s%s-%lu-%ld", base, hint.c_str(), ::GetCurrentProcessId(),
                  ::InterlockedIncrement(&counter));
    m_path = name;
    RemoveTree(m_path);
    // A name in another script is made as that name even where this program's code page could not
    // spell it: the test's own calls then fail rather than pass on a garbled folder.
    ::CreateDirectoryW(Wide(m_path).c_str(), nullptr);
}

TempDir::~TempDir() {
    RemoveTree(m_path);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(child.c_str());
            }
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(path.c_str());
}

std::string TestNetAddress(int host) {
    const char* net = std::getenv("PM_TEST_NET");
    return std::string(net && *net ? net : "127.0.0") + "." + std::to_string(host);
}

std::string WinePath(const std::string& linuxPath) {
    std::string result = "Z:" + linuxPath;
    for (char& c : result) {
        if (c == '/')
            c = '\\';
    }
    return result;
}

bool FileExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::vector<std::string> ReadFileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void DeleteCorvalisKeys() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvalis");
}

namespace {
bool QueryValue(const char* key, const char* name, DWORD& type, std::string& data) {
    CRegKey handle;
    if (handle.Open(HKEY_CURRENT_USER, key, KEY_READ) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = ::RegQueryValueExA(handle.Get(), name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data.assign(size, '\0');
        ok = ::RegQueryValueExA(handle.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                                &size) == ERROR_SUCCESS;
        data.resize(size);
    }
    return ok;
}

const char kPolicyKey[] = "Software\\Policies\\Corvalis\\Pendlemark";

void SetValue(const char* key, const char* name, DWORD type, const void* data, DWORD size,
              HKEY root = HKEY_CURRENT_USER) {
    CRegKey handle;
    if (handle.Create(root, key) == ERROR_SUCCESS)
        ::RegSetValueExA(handle.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
}
} // namespace

bool RegValueExists(const char* key, const char* name) {
    return RegValueType(key, name) != REG_NONE;
}

DWORD RegValueType(const char* key, const char* name) {
    DWORD type = REG_NONE;
    std::string data;
    return QueryValue(key, name, type, data) ? type : REG_NONE;
}

std::string RegString(const char* key, const char* name) {
    DWORD type = REG_NONE;
    std::string data;
    if (!QueryValue(key, name, type, data) || type != REG_SZ)
        return "<missing>";
    return std::string(data.c_str());
}

DWORD RegDword(const char* key, const char* name) {
    DWORD type = REG_NONE;
    std::string data;
    if (!QueryValue(key, name, type, data) || type != REG_DWORD || data.size() != 4)
        return 0xDEADBEEF;
    DWORD value;
    memcpy(&value, data.data(), 4);
    return value;
}

void SetRegString(const char* key, const char* name, const std::string& value) {
    SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SetRegDword(const char* key, const char* name, DWORD value) {
    SetValue(key, name, REG_DWORD, &value, 4);
}

void SetRegValue(const char* key, const char* name, DWORD type, const std::string& bytes) {
    SetValue(key, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::vector<std::string> UpdateLogLines() {
    std::vector<std::string> lines = ReadFileLines(CUpdateLog::FilePath() + ".1");
    for (std::string& line : ReadFileLines(CUpdateLog::FilePath()))
        lines.push_back(std::move(line));
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    }
    return lines;
}

void RemoveUpdateLog() {
    ::DeleteFileA(CUpdateLog::FilePath().c_str());
    ::DeleteFileA((CUpdateLog::FilePath() + ".1").c_str());
}

void SetPolicyValue(const char* name, DWORD type, const std::string& bytes) {
    SetValue(kPolicyKey, name, type, bytes.data(), static_cast<DWORD>(bytes.size()), HKEY_LOCAL_MACHINE);
}

void SetPolicyDword(const char* name, DWORD value) {
    SetValue(kPolicyKey, name, REG_DWORD, &value, 4, HKEY_LOCAL_MACHINE);
}

void DeletePolicyKeys() {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Corvalis");
}

std::string CvlIniPath() {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\cvl.ini";
}

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], static_cast<int>(wide.size()))));
    return wide;
}

void WriteCvlIni(const char* browserDir, const char* launcherDir, IniEncoding encoding) {
    RemoveCvlIni();
    if (encoding != IniEncoding::System) {
        std::string text;
        if (browserDir)
            text += std::string("[USER PREFS]\r\nCORVALIS DIRECTORY=") + browserDir + "\r\n";
        if (launcherDir)
            text += std::string("[INSTALL]\r\nMAINDIR=") + launcherDir + "\r\n";
        const std::wstring wide = Wide(text);
        std::string ansi(wide.size(), '\0');
        ansi.resize(static_cast<size_t>(
            ::WideCharToMultiByte(1252, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                                  static_cast<int>(ansi.size()), nullptr, nullptr)));
        const std::string bytes[] = {"", ansi, text, "\xEF\xBB\xBF" + text,
                                     "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()),
                                                              wide.size() * sizeof(wchar_t))};
        WriteFileText(CvlIniPath(), bytes[static_cast<int>(encoding)]);
        return;
    }
    if (browserDir)
        ::WritePrivateProfileStringA("USER PREFS", "CORVALIS DIRECTORY", browserDir, "cvl.ini");
    if (launcherDir)
        ::WritePrivateProfileStringA("INSTALL", "MAINDIR", launcherDir, "cvl.ini");
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "cvl.ini"); // flush the profile cache
}

void RemoveCvlIni() {
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "cvl.ini");
    ::DeleteFileA(CvlIniPath().c_str());
}

Process::Process(Process&& other) noexcept
    : m_process(std::move(other.m_process)), m_id(std::exchange(other.m_id, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        m_process = std::move(other.m_process);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

Process::~Process() {
    Kill();
}

Process Process::Start(const std::string& commandLine, const char* currentDir, DWORD creationFlags) {
    Process process;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string mutableLine = commandLine;
    if (::CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                         currentDir, &startup, &info)) {
        CHandle thread(info.hThread);
        process.m_process.Reset(info.hProcess);
        process.m_id = info.dwProcessId;
    } else {
        // Rare under Wine and silent otherwise: a test that expected the program to run names why.
        std::fprintf(stderr, "CreateProcess failed with error %lu: %s\n", ::GetLastError(),
                     commandLine.c_str());
    }
    return process;
}

bool Process::Running() const {
    return m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

long Process::Wait(DWORD timeoutMs) {
    if (!m_process || ::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<long>(code);
}

void Process::Kill() {
    if (!m_process)
        return;
    if (Running()) {
        ::TerminateProcess(m_process.Get(), 99);
        ::WaitForSingleObject(m_process.Get(), 5000);
    }
    m_process.Close();
}

HWND FindMainWindow(DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            found = ::FindWindowA(nullptr, "Pendlemark");
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

DWORD MainWindowProcess(HWND* window) {
    HWND found = ::FindWindowA(nullptr, "Pendlemark");
    DWORD pid = 0;
    if (found)
        ::GetWindowThreadProcessId(found, &pid);
    if (window)
        *window = found;
    return pid;
}

void ResetProgramState() {
    // Ask every resident instance to close, then end what did not.
    for (int round = 0; round < 2; ++round) {
        HWND window = nullptr;
        for (DWORD pid; (pid = MainWindowProcess(&window)) != 0;) {
            CHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
            if (round == 0)
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            if (process) {
                if (round == 1 || ::WaitForSingleObject(process.Get(), 5000) != WAIT_OBJECT_0)
                    ::TerminateProcess(process.Get(), 98);
                ::WaitForSingleObject(process.Get(), 5000);
            } else {
                break;
            }
        }
    }
}

HANDLE OpenOrCreateEvent(const char* name) {
    return ::CreateEventA(nullptr, TRUE, FALSE, name);
}

bool IsSignalled(HANDLE event) {
    return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace pmtest
