#include "StartProgram.h"

#include "framework/Handles.h"

#include <shellapi.h>

namespace {
constexpr DWORD kErrorElevationRequired = 740; // ERROR_ELEVATION_REQUIRED, missing from MinGW's headers

BOOL CreateProcessStarter(char* commandLine, PROCESS_INFORMATION* started) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return ::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            started);
}

ProcessStarter g_starter = &CreateProcessStarter;
} // namespace

void SetProcessStarterForTest(ProcessStarter starter) {
    g_starter = starter ? starter : &CreateProcessStarter;
}

bool FitsCommandLine(const CString& path) {
    return !path.empty() && path.size() + 3 <= MAX_PATH;
}

// Only a verb asks the user, so this start is separate.
CHandle StartProgramElevated(const CString& path, const CString& arguments) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "runas";
    info.lpFile = path.c_str();
    info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    return CHandle(::ShellExecuteExA(&info) ? info.hProcess : nullptr);
}

BOOL StartProgram(const CString& path, const CString& arguments, unsigned flags, DWORD* exitCode,
                  const std::function<void()>& onStarted) {
    if (path.empty() || (arguments.empty() && !FitsCommandLine(path)))
        return FALSE;
    CString commandLine = "\"" + path + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    PROCESS_INFORMATION started{};
    CHandle process;
    if (g_starter(&commandLine[0], &started)) {
        CHandle thread(started.hThread);
        process.Reset(started.hProcess);
    } else if ((flags & kStartElevateIfRequired) && ::GetLastError() == kErrorElevationRequired) {
        process = StartProgramElevated(path, arguments);
    }
    if (!process)
        return FALSE;
    if (onStarted)
        onStarted();
    if (flags & kStartWait) {
        ::WaitForSingleObject(process.Get(), INFINITE);
        if (exitCode)
            ::GetExitCodeProcess(process.Get(), exitCode);
    }
    return TRUE;
}

CString ModulePath() {
    char module[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(::GetModuleHandleA(nullptr), module, sizeof module);
    if (length == 0 || length >= sizeof module)
        return CString();
    return CString(module, length);
}
