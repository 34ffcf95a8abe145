// What another process holds, measured from outside it. Under Wine GetProcessHandleCount,
// GetGuiResources and GetProcessMemoryInfo answer zeros, so each figure is read where Wine keeps
// it; -1 means it could not be read.
#pragma once

#include <windows.h>

#include <string>

namespace pmtest {

struct ProcessFigures {
    long handles = -1;           // kernel handles: the system's handle list, entries of this process
    long gdiObjects = -1;        // GDI objects but stock ones: the process's own GDI handle table
    long userWindows = -1;       // windows (top-level, child, message-only): the USER objects visible outside
    long long privateBytes = -1; // committed private memory, summed over the address space
    long long rssAnonKb = -1;    // Linux side of the same process: RssAnon of /proc/PID/status
    long long vmRssKb = -1;      // and its whole resident set, mapped DLLs included: VmRSS
    long linuxFds = -1;          // Linux side: entries of /proc/PID/fd (include wineserver sockets)
};

// Reads every figure of the Windows process processId; linuxPid 0 leaves the Linux figures at -1.
ProcessFigures MeasureProcess(DWORD processId, int linuxPid);

// The Linux process that runs the program of that file name (e.g. "Pendlemark.exe") in this Wine
// prefix; 0 when there is none or more than one.
int LinuxPidOf(const std::string& exeName);

} // namespace pmtest
