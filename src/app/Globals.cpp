// Process-wide objects whose construction order matters, kept in one translation unit so the
// order is the order of definition: the application object, then the single-instance mutex,
// then the taskbar-restart message. The records below reach the application object only through
// the interfaces they are declared with.
#include "UpdaterApp.h"
#include "framework/Mutex.h"
#include "shell/TrayIcon.h"
#include "system/SelfUpdate.h"

namespace {
CUpdaterApp theApp;
CMutex g_runOnce(FALSE, "CVLRunOnce");
} // namespace

const UINT g_uTaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");

CMutex& RunOnceMutex() {
    return g_runOnce;
}

CSettings& TheSettings() {
    return theApp;
}

CSelfUpdate& ProgramSelfUpdate() {
    static CSelfUpdate selfUpdate;
    return selfUpdate;
}
