// Keeping our launcher copy in place of cvl.exe, and undoing the installation.
#include "UpdaterApp.h"

#include "framework/Handles.h"
#include "system/UpdateLog.h"

#include <io.h>
#include <sys/stat.h>

namespace {
const char kLauncher[] = "cvl.exe";
const char kBackup[] = "cvlex.exe";
const char kOurLauncher[] = "cvlx.exe";

bool Exists(const CString& path) {
    return ::_access(path.c_str(), 0) == 0;
}
} // namespace

void CUpdaterApp::SwapInLauncher() {
    // An empty path means the module name was unknown or a path would not fit; acting on a bare
    // name instead would touch files in whatever the current folder is.
    const CString ourLauncher = GetProgramFilePath(kOurLauncher);
    const CString launcher = GetLauncherFilePath(kLauncher);
    const CString backup = GetLauncherFilePath(kBackup);
    if (ourLauncher.empty() || launcher.empty() || backup.empty())
        return;

    if (!Exists(backup)) {
        // The launcher we found is saved once and never overwritten; without that copy ours stays out.
        if (::CopyFileA(launcher.c_str(), backup.c_str(), TRUE))
            ::CopyFileA(ourLauncher.c_str(), launcher.c_str(), FALSE);
        return;
    }

    struct _stat launcherStatus {};
    struct _stat ourStatus {};
    if (::_stat(launcher.c_str(), &launcherStatus) != 0 || ::_stat(ourLauncher.c_str(), &ourStatus) != 0)
        return;
    // Whole seconds: a copy made in the same second as ours counts as current.
    if (launcherStatus.st_ctime < ourStatus.st_ctime)
        ::CopyFileA(ourLauncher.c_str(), launcher.c_str(), FALSE);
}

void CUpdaterApp::Uninstall() {
    const CString launcher = GetLauncherFilePath(kLauncher);
    const CString backup = GetLauncherFilePath(kBackup);
    // The backup is the only copy of the original launcher: it goes only once it is back in place.
    if (!launcher.empty() && !backup.empty() && ::CopyFileA(backup.c_str(), launcher.c_str(), FALSE))
        ::DeleteFileA(backup.c_str());

    // What an interrupted HTTPS transfer kept for resuming goes; then only an empty folder goes, and a
    // package left behind keeps it.
    const CString downloadFolder = GetDownloadFilePath("");
    if (!downloadFolder.empty()) {
        WIN32_FIND_DATAA part;
        const CString pattern = downloadFolder + "*-update.exe.part";
        HANDLE found = ::FindFirstFileA(pattern.c_str(), &part);
        if (found != INVALID_HANDLE_VALUE) {
            do {
                if (!(part.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileA((downloadFolder + part.cFileName).c_str());
            } while (::FindNextFileA(found, &part));
            ::FindClose(found);
        }
        ::RemoveDirectoryA(downloadFolder.c_str());
    }

    // Innermost first: a key with subkeys is refused, so a company key shared with others stays. The
    // record of installed package versions is ours too.
    for (const char* key : {kPackagesKeyPath, kParamsKeyPath, kProgramKeyPath, kMakerKeyPath})
        ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
    // The update log goes with the settings.
    CUpdateLog::Remove();

    // A resident instance, if any, quits when its scheduler sees this event.
    CHandle shutdown(::OpenEventA(EVENT_ALL_ACCESS, TRUE, "CVLShutdown"));
    if (shutdown)
        ::SetEvent(shutdown.Get());
}
