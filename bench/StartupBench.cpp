// Start-up time and resident memory of tray programs, side by side: each argument is
// "<program>|<window title>|<arguments>", the first one the yardstick. Every round starts each
// program once, in turn, in the current folder: the start-up is the time from CreateProcess until
// its window answers a message; the memory is read 2 s later, before the program is asked to close.
// Prints the median of each figure and its ratio to the yardstick's. Run through tools/bench.sh startup.
#include "support/ProcessGauge.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace pmtest;

namespace {
struct Program {
    std::string path, title, arguments, exeName;
    std::vector<double> startMs, vmRssKb, rssAnonKb, privateKb;
};

double Median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

HWND WindowOf(DWORD processId, const std::string& title) {
    for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, title.c_str()); window;
         window = ::FindWindowExA(nullptr, window, nullptr, title.c_str())) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

bool RunOnce(Program& program) {
    std::string commandLine = "\"" + program.path + "\" " + program.arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, begin, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&begin);
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    ::CloseHandle(process.hThread);
    HWND window = nullptr;
    DWORD_PTR answer = 0;
    for (int waited = 0; waited < 20000 && !window; ++waited) {
        window = WindowOf(process.dwProcessId, program.title);
        if (!window)
            ::Sleep(1);
    }
    bool up = window && ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    ::QueryPerformanceCounter(&end);
    if (up) {
        program.startMs.push_back(1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                                  static_cast<double>(frequency.QuadPart));
        ::Sleep(2000);
        ProcessFigures figures = MeasureProcess(process.dwProcessId, LinuxPidOf(program.exeName));
        program.vmRssKb.push_back(static_cast<double>(figures.vmRssKb));
        program.rssAnonKb.push_back(static_cast<double>(figures.rssAnonKb));
        program.privateKb.push_back(static_cast<double>(figures.privateBytes) / 1024);
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hProcess);
    return up;
}
} // namespace

int main(int argc, char** argv) {
    const char* runs = std::getenv("PM_STARTUP_RUNS");
    const int rounds = runs && std::atoi(runs) > 0 ? std::atoi(runs) : 15;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        size_t first = argument.find('|'), second = argument.find('|', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            return 2;
        Program program;
        program.path = argument.substr(0, first);
        program.title = argument.substr(first + 1, second - first - 1);
        program.arguments = argument.substr(second + 1);
        program.exeName = program.path.substr(program.path.find_last_of("\\/") + 1);
        programs.push_back(program);
    }
    if (programs.empty())
        return 2;
    // Each round starts with the next program, so that none always follows the same one.
    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < programs.size(); ++i)
            if (Program& program = programs[(round + i) % programs.size()]; !RunOnce(program)) {
                std::fprintf(stderr, "%s did not start\n", program.path.c_str());
                return 1;
            }
    const Program& yardstick = programs.front();
    std::printf("medians of %d starts each; ratio to %s\n", rounds, yardstick.exeName.c_str());
    std::printf("%-24s %10s %7s %11s %7s %13s %13s\n", "program", "start ms", "ratio", "VmRSS kB", "ratio",
                "RssAnon kB", "private kB");
    for (const Program& program : programs)
        std::printf("%-24s %10.1f %6.3fx %11.0f %6.3fx %13.0f %13.0f\n", program.exeName.c_str(),
                    Median(program.startMs), Median(program.startMs) / Median(yardstick.startMs),
                    Median(program.vmRssKb), Median(program.vmRssKb) / Median(yardstick.vmRssKb),
                    Median(program.rssAnonKb), Median(program.privateKb));
    return 0;
}
