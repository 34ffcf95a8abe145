// Starting another program, and the path of our own.
#pragma once

#include "framework/Afx.h"
#include "framework/Handles.h"

#include <functional>

enum StartProgramFlags : unsigned {
    kStartNoWait = 0,
    kStartWait = 1,             // wait without limit for the program to end
    kStartElevateIfRequired = 2 // a program that must run elevated is started through the shell's "runas"
};

// Starts path with its quoted path, then a blank and arguments when there are any, as its whole
// command line, in our environment and current directory. A path started alone must fit the system's
// path buffer with its quotes and terminator; a longer one is refused, never cut. With kStartWait,
// *exitCode (when given) receives the program's exit code; started (when given) runs once the program
// has started, before the wait. FALSE when nothing could be started.
BOOL StartProgram(const CString& path, const CString& arguments = CString(), unsigned flags = kStartNoWait,
                  DWORD* exitCode = nullptr, const std::function<void()>& started = nullptr);

// A path started alone fits the system's path buffer with its quotes and terminator.
bool FitsCommandLine(const CString& path);

// The start through the shell's "runas" that kStartElevateIfRequired falls back to; its process, or
// none when refused or not startable.
CHandle StartProgramElevated(const CString& path, const CString& arguments = CString());

// The plain start StartProgram tries first is CreateProcessA; a test may put another in its place (one
// failing with ERROR_ELEVATION_REQUIRED, which this platform never gives), null puts it back.
using ProcessStarter = BOOL (*)(char* commandLine, PROCESS_INFORMATION* started);
void SetProcessStarterForTest(ProcessStarter starter);

// The full path of this program's executable; empty when unknown or too long for the path buffer.
CString ModulePath();
