// A next version whose program fails at start-up, packed by the same installer script for the deploy
// tests only: built with PM_STAND_IN_CRASH it ends at once as a crash ends a program; otherwise it starts
// and never becomes resident (no lock, no window), as a program hung at start-up.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifdef PM_STAND_IN_CRASH
    ::ExitProcess(0xC0000005);
#else
    ::Sleep(120000); // far longer than a new version has to become resident
    return 0;
#endif
}
