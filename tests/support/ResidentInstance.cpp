#include "ResidentInstance.h"

#include "TestEnv.h"
#include "UiDriver.h"
#include "core/PeFileVersion.h"
#include "core/VersionText.h"
#include "framework/Handles.h"

#include <tlhelp32.h>

#include <cstdint>

namespace pmtest {

namespace {

std::string ImageOf(DWORD pid) {
    CHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    char image[MAX_PATH] = "";
    DWORD length = MAX_PATH;
    if (!process || !::QueryFullProcessImageNameA(process.Get(), 0, image, &length))
        return "";
    return std::string(image, length);
}

bool IsProgramOf(const std::string& image, const std::string& folder) {
    const std::string program = folder + "\\Pendlemark.exe";
    return _stricmp(image.c_str(), program.c_str()) == 0 ||
           _stricmp(image.c_str(), (program + ".old").c_str()) == 0;
}

// The top-level window titled "Pendlemark" that belongs to that process.
HWND MainWindowOf(DWORD pid) {
    for (HWND window = nullptr;
         (window = ::FindWindowExA(nullptr, window, nullptr, "Pendlemark")) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            return window;
    }
    return nullptr;
}

} // namespace

std::string InstalledFolder() {
    char folder[MAX_PATH] = "";
    DWORD size = sizeof folder;
    if (::RegGetValueA(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pendlemark",
                       "InstallLocation", RRF_RT_REG_SZ, nullptr, folder, &size) != ERROR_SUCCESS)
        return "";
    return folder;
}

std::vector<ResidentInstance> ProgramProcesses(const std::string& folder) {
    std::vector<ResidentInstance> found;
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || folder.empty())
        return found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        ResidentInstance instance;
        instance.pid = entry.th32ProcessID;
        instance.image = ImageOf(instance.pid);
        if (!IsProgramOf(instance.image, folder))
            continue;
        instance.window = MainWindowOf(instance.pid);
        found.push_back(instance);
    }
    return found;
}

ResidentInstance FindResident(const std::string& folder, DWORD timeoutMs, DWORD notPid) {
    ResidentInstance resident;
    WaitUntil(
        [&] {
            for (const ResidentInstance& instance : ProgramProcesses(folder)) {
                if (instance.window && instance.pid != notPid) {
                    resident = instance;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return resident;
}

std::string FileVersionText(const std::string& path) {
    const std::string bytes = ReadFileText(path);
    std::uint64_t version = 0;
    if (!ReadPeFileVersion(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), version))
        return "";
    const std::string text = VersionText(version); // the project's version has three parts
    return text.substr(0, text.rfind('.'));
}

} // namespace pmtest
