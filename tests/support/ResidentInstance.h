// The resident Pendlemark of one installation, as the installer and the uninstaller find it: a process
// whose image is Pendlemark.exe in the installation folder (or that file renamed aside to
// Pendlemark.exe.old by an installer), with its main window. A window titled "Pendlemark" alone
// identifies nothing: a folder window of that name has the same title.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pmtest {

struct ResidentInstance {
    DWORD pid = 0;
    HWND window = nullptr; // null while the process has not created its main window
    std::string image;
};

// The folder of the installation Pendlemark's Apps & Features entry names; empty without one.
std::string InstalledFolder();
// Every process running the program of that installation folder, windows found where they exist.
std::vector<ResidentInstance> ProgramProcesses(const std::string& folder);
// Waits for a process of that installation, other than notPid, that has its main window; pid 0 after
// the time-out.
ResidentInstance FindResident(const std::string& folder, DWORD timeoutMs = 15000, DWORD notPid = 0);
// The version "a.b.c" in the file's own bytes (the platform's version calls may answer from a running
// program's loaded image instead); empty without a version resource.
std::string FileVersionText(const std::string& path);

} // namespace pmtest
