#include "ResidentProgram.h"

#include "UiDriver.h"

namespace pmtest {

Process StartPendlemark(const std::string& arguments, HWND* window, DWORD timeoutMs,
                        const std::string& program, const char* currentDir, DWORD creationFlags) {
    std::string commandLine = Quote(program.empty() ? BuiltProgram("Pendlemark.exe") : program);
    if (!arguments.empty())
        commandLine += " " + arguments;
    Process process = Process::Start(commandLine, currentDir, creationFlags);
    if (!window)
        return process;
    *window = nullptr;
    const DWORD id = process.Id();
    WaitUntil(
        [&] {
            HWND found = nullptr;
            if (process.Handle() && MainWindowProcess(&found) == id)
                *window = found;
            return *window != nullptr || !process.Running();
        },
        timeoutMs);
    return process;
}

ResidentProgram::ResidentProgram()
    : m_request(OpenOrCreateEvent("CVLAutoUpdate")), m_done(OpenOrCreateEvent("CVLAutoUpdateDone")),
      m_running(OpenOrCreateEvent("CVLUpdateRunning")) {}

void ResidentProgram::Prepare(const std::string& server, const std::string& browserDir) {
    DeleteCorvalisKeys();
    // Every value differs from its default, so that a value written back from a default shows.
    SetRegString(kParamsKey, "Server", server);
    SetRegString(kParamsKey, "User", "pmuser");
    SetRegString(kParamsKey, "Pass", "pmsecret");
    SetRegDword(kParamsKey, "PassiveFTP", 1);
    SetRegString(kParamsKey, "PathToFile", "/");
    SetRegDword(kParamsKey, "UpdateChoice", 1);
    SetRegDword(kParamsKey, "UpdateInterval", 9);
    SetRegDword(kParamsKey, "EnableAutoUpdate", 1);
    SetRegDword(kParamsKey, "AskForConfirmation", 0);
    SetRegDword(kParamsKey, "PollTimer", 1234);
    WriteCvlIni(browserDir.c_str(), browserDir.c_str());
}

bool ResidentProgram::Start(DWORD timeoutMs) {
    m_process = StartPendlemark(std::string(), &m_window, timeoutMs);
    return m_window != nullptr && Idle(timeoutMs);
}

void ResidentProgram::RequestUpdate() {
    ::ResetEvent(m_done.Get());
    ::SetEvent(m_request.Get());
}

bool ResidentProgram::FinishRun(std::string& boxText, DWORD timeoutMs) {
    boxText.clear();
    HWND answered = nullptr;
    bool ended = WaitUntil(
        [&] {
            HWND box = FindBox("Corvalis Wayrail");
            if (box && box != answered) {
                std::string text = GetItemText(box, 0xFFFF);
                if (!text.empty()) { // filled in once the box has finished its start
                    boxText = text;
                    answered = box;
                    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                }
            }
            return RunEnded();
        },
        timeoutMs);
    return ended && Idle(timeoutMs);
}

bool ResidentProgram::Idle(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return m_window && ::SendMessageTimeoutA(m_window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

} // namespace pmtest
