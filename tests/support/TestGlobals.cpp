// The process globals the product defines in its own program, for test programs.
#include "app/UpdaterApp.h"
#include "framework/Mutex.h"
#include "shell/TrayIcon.h"

namespace {
CUpdaterApp theTestApp;
CMutex g_runOnce(FALSE, "CVLRunOnce");
} // namespace

const UINT g_uTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

CMutex& RunOnceMutex() {
    return g_runOnce;
}
