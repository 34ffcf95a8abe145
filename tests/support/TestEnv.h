// The test bed: registry, cvl.ini, folders and processes of the throwaway Wine prefix.
#pragma once

#include "framework/Handles.h"

#include <string>
#include <vector>

namespace pmtest {

// Folder of the running test program (also where the product's programs are built).
std::string ProgramDir();
std::string BuiltProgram(const char* name);

// A fresh, empty folder under the prefix's temporary folder, removed with its contents on destruction.
class TempDir {
  public:
    explicit TempDir(const std::string& hint = "pm");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

  private:
    std::string m_path;
};

void RemoveTree(const std::string& path);
// The address of a host number on the test servers' loopback network, $PM_TEST_NET (127.0.0 unless set).
std::string TestNetAddress(int host);
// A Linux path as this process sees it: Wine shows the Linux root as drive Z:.
std::string WinePath(const std::string& linuxPath);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
std::string ReadFileText(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& text);
// The non-empty lines of a text file (a test server's records).
std::vector<std::string> ReadFileLines(const std::string& path);
long long FileSize(const std::string& path);

// HKEY_CURRENT_USER\Software\Corvalis and below, removed.
void DeleteCorvalisKeys();
const char* const kParamsKey = "Software\\Corvalis\\Pendlemark\\Params";
bool RegValueExists(const char* key, const char* name);
// Type of the value, or REG_NONE when missing.
DWORD RegValueType(const char* key, const char* name);
std::string RegString(const char* key, const char* name);
DWORD RegDword(const char* key, const char* name);
void SetRegString(const char* key, const char* name, const std::string& value);
void SetRegDword(const char* key, const char* name, DWORD value);
// Any type, the bytes as given.
void SetRegValue(const char* key, const char* name, DWORD type, const std::string& bytes);
// The machine policy of Pendlemark (HKEY_LOCAL_MACHINE), as an administrator sets it; DeletePolicyKeys
// removes it with the maker's policy key.
void SetPolicyValue(const char* name, DWORD type, const std::string& bytes);
void SetPolicyDword(const char* name, DWORD value);
void DeletePolicyKeys();

// The update log's lines (the one set aside before it first), and the log removed with that one.
std::vector<std::string> UpdateLogLines();
void RemoveUpdateLog();

// UTF-8 text (the test programs' code page, as the product's) as UTF-16.
std::wstring Wide(const std::string& utf8);

// cvl.ini in the Windows folder: the browser and launcher directories (UTF-8); null removes the key.
// Written by the system's profile calls, or as a file in the test bed's own code page 1252, in UTF-8
// with or without its byte-order mark, or in UTF-16 with it.
enum class IniEncoding { System, Ansi1252, Utf8, Utf8Marked, Utf16Marked };
std::string CvlIniPath();
void WriteCvlIni(const char* browserDir, const char* launcherDir, IniEncoding encoding = IniEncoding::System);
void RemoveCvlIni();

// A path as one command-line argument.
inline std::string Quote(const std::string& path) {
    return "\"" + path + "\"";
}

// A started process; the destructor ends it if it still runs.
class Process {
  public:
    Process() = default;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();
    static Process Start(const std::string& commandLine, const char* currentDir = nullptr,
                         DWORD creationFlags = 0);
    bool Running() const;
    // Exit code, or -1 after the time-out.
    long Wait(DWORD timeoutMs = 30000);
    void Kill();
    HANDLE Handle() const { return m_process.Get(); }
    DWORD Id() const { return m_id; }

  private:
    CHandle m_process;
    DWORD m_id = 0;
};

// The resident program, started and waited for until its main window exists.
HWND FindMainWindow(DWORD timeoutMs = 15000);
// The process of Pendlemark's main window as it is now, 0 without one; window gets the window.
DWORD MainWindowProcess(HWND* window = nullptr);
// Closes every program instance of an earlier test and clears the shared state.
void ResetProgramState();

// A named event for the test's own use (opened or created, manual-reset).
HANDLE OpenOrCreateEvent(const char* name);
bool IsSignalled(HANDLE event);

} // namespace pmtest
