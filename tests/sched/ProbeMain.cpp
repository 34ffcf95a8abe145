// sched_probe.exe: signals PmSchedProbeStarted, and PmSchedProbeSawProgress when the update
// progress window is still on screen at its start.
#include <windows.h>

namespace {
void Signal(const char* name) {
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, name);
    if (event) {
        ::SetEvent(event);
        ::CloseHandle(event);
    }
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND progress = ::FindWindowA(nullptr, "Updating Corvalis...");
    if (progress && ::IsWindowVisible(progress))
        Signal("PmSchedProbeSawProgress");
    Signal("PmSchedProbeStarted");
    return 0;
}
