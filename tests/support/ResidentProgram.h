// The built Pendlemark.exe resident in its own process, driven the way other programs drive it:
// its settings in the registry, cvl.ini, the named events and its windows.
#pragma once

#include "TestEnv.h"

#include "framework/Handles.h"

#include <string>

namespace pmtest {

// How every test starts Pendlemark.exe (the built one, or the copy at program): its quoted path, then
// arguments. With window set, waits until that process shows its main window (*window) or ends
// (*window null). creationFlags as CreateProcess takes them (CREATE_SUSPENDED: started and never run).
Process StartPendlemark(const std::string& arguments = std::string(), HWND* window = nullptr,
                        DWORD timeoutMs = 15000, const std::string& program = std::string(),
                        const char* currentDir = nullptr, DWORD creationFlags = 0);

class ResidentProgram {
  public:
    // Opens the named events now, so that this process sees them across the program's restarts.
    ResidentProgram();

    // Settings for updates from that server's root into browserDir\Pendlemark, on request only
    // (automatic updates on, no question, no check at start), and a cvl.ini naming browserDir.
    static void Prepare(const std::string& server, const std::string& browserDir);

    // Starts the program and waits for its main window; false after the time-out.
    bool Start(DWORD timeoutMs = 15000);
    void Kill() { m_process.Kill(); }
    bool Alive() const { return m_process.Running(); }
    DWORD Id() const { return m_process.Id(); }

    // Asks for an update as another program does, through CVLAutoUpdate.
    void RequestUpdate();
    bool RunEnded() const { return ::WaitForSingleObject(m_done.Get(), 0) == WAIT_OBJECT_0; }
    // Waits for the end of the run and for the program to serve its window again, answering the
    // run's box with OK; boxText gets what it said (empty: no box). False after the time-out.
    bool FinishRun(std::string& boxText, DWORD timeoutMs = 60000);
    bool RunInProgress() const { return ::WaitForSingleObject(m_running.Get(), 0) == WAIT_OBJECT_0; }
    // True once the program serves its window again (the run has returned); false after the time-out.
    bool Idle(DWORD timeoutMs = 10000) const;

  private:
    Process m_process;
    HWND m_window = nullptr;
    CHandle m_request;
    CHandle m_done;
    CHandle m_running;
};

} // namespace pmtest
