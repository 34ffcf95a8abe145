// Process-wide objects whose construction order matters, kept in one translation unit so the
// order is the order of definition: the application object, then the single-instance mutex,
// then the taskbar-restart message.
#include "UpdaterApp.h"
#include "framework/Mutex.h"
#include "shell/TrayIcon.h"

namespace {
CUpdaterApp theApp;
CMutex g_runOnce(FALSE, "CVLRunOnce");
} // namespace

const UINT g_uTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

CMutex& RunOnceMutex() {
    return g_runOnce;
}
