// Idles until killed, so that Wine's desktop process outlives each short test program. Setting up
// another Wine prefix beside this one (the run command's smoke test does) ends that desktop process:
// asking for the desktop from a new thread, which has none cached, starts it again at once, so that
// no later test program pays for its start.
#include <windows.h>

namespace {
DWORD WINAPI AskForDesktop(LPVOID) {
    ::GetDesktopWindow();
    return 0;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    for (;;) {
        if (HANDLE thread = ::CreateThread(nullptr, 0, &AskForDesktop, nullptr, 0, nullptr)) {
            ::WaitForSingleObject(thread, INFINITE);
            ::CloseHandle(thread);
        }
        ::Sleep(500);
    }
}
