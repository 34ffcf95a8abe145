// pm_demo: the Windows side of tools/run.sh. It drives the resident Pendlemark as a user would (its
// tray icon's callback, menu commands) and reports what an update does while it happens, from the
// outside only: named events, windows, processes, files and the registry.
//
//   pm_demo resident [ms]            wait for the resident instance of the installed Pendlemark (its
//                                    image in the installation folder); prints "pid version image",
//                                    the version read from that image file
//   pm_demo command <id>             post a menu command to the main window
//   pm_demo tray-menu | close-menu   open the tray icon's menu (right click) / close it again
//   pm_demo window <caption> [ms]    wait for a visible window; prints "x y width height"
//   pm_demo answer <caption> <id>    press a button of that window and wait until it has gone
//   pm_demo controls <caption>       the controls of that window, one a line: "id enabled visible
//                                    checked text" (1 or 0 each)
//   pm_demo watch <report> [ms]      report an update run until the new version is resident and
//                                    has proved itself (the old one ended, nothing set aside left);
//                                    <report> is the FTP server's event file, or - for none
#include "framework/Handles.h"
#include "support/ResidentInstance.h"
#include "support/TestEnv.h"
#include "support/UiDriver.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayCallback = WM_USER;
constexpr WPARAM kTrayIconId = 130;
constexpr int kStatusText = 1005;

using namespace pmtest;

DWORD Now() {
    return ::GetTickCount();
}

// The resident instance of the installation Apps & Features names, never a window found by its title.
ResidentInstance Resident(DWORD timeoutMs = 0, DWORD notPid = 0) {
    return FindResident(InstalledFolder(), timeoutMs, notPid);
}

HWND MainWindow() {
    return Resident().window;
}

// Text of a window of any process, read without sending it a message (its thread may be busy).
std::string TextOf(HWND window) {
    char text[512] = "";
    if (window)
        ::GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND VisibleWindow(const char* className, const char* caption) {
    HWND window = ::FindWindowA(className, caption);
    return window && ::IsWindowVisible(window) ? window : nullptr;
}

std::string VersionOf(const std::string& image) {
    const std::string version = FileVersionText(image);
    return version.empty() ? "?" : version;
}

std::string RegText(const char* name) {
    return RegValueExists(kParamsKey, name) ? RegString(kParamsKey, name) : "";
}

// The download folder: the browser directory of cvl.ini and "Pendlemark".
std::string DownloadFolder() {
    char browser[MAX_PATH] = "";
    ::GetPrivateProfileStringA("USER PREFS", "CORVALIS DIRECTORY", "", browser, sizeof browser, "cvl.ini");
    std::string folder = browser;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder + "Pendlemark\\";
}

// A process whose program is an update package, as the updater names them.
DWORD FindPackageProcess(std::string& name) {
    DWORD found = 0;
    CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more && !found;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        std::string exe = entry.szExeFile;
        if (exe.size() > 11 && _stricmp(exe.c_str() + exe.size() - 11, "-update.exe") == 0) {
            found = entry.th32ProcessID;
            name = exe;
        }
    }
    return found;
}

int PrintResident(DWORD timeoutMs) {
    const ResidentInstance resident = Resident(timeoutMs);
    if (!resident.pid)
        return 1;
    std::printf("%lu %s %s\n", resident.pid, VersionOf(resident.image).c_str(), resident.image.c_str());
    return 0;
}

int PrintRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

int PrintControls(HWND window) {
    if (!window)
        return 1;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const bool checked = ::SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        std::printf("%d %d %d %d %s\n", ::GetDlgCtrlID(child), ::IsWindowEnabled(child) ? 1 : 0,
                    ::IsWindowVisible(child) ? 1 : 0, checked ? 1 : 0, GetText(child).c_str());
    }
    return 0;
}

int TrayMenu(bool open) {
    HWND main = MainWindow();
    if (!main)
        return 1;
    if (!open) {
        ::PostMessageA(main, WM_CANCELMODE, 0, 0);
        return WaitUntil([] { return !VisibleWindow("#32768", nullptr); }, 5000) ? 0 : 1;
    }
    // The menu opens at the cursor: put it on the icon in Wine's own tray window, when there is one.
    RECT area{};
    HWND tray = VisibleWindow(nullptr, "Wine System Tray");
    if (tray) {
        ::GetWindowRect(tray, &area);
        ::SetCursorPos(area.left + 12, area.bottom - 12);
    }
    // What the shell sends the icon's window for a right click.
    ::PostMessageA(main, kTrayCallback, kTrayIconId, WM_RBUTTONUP);
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = VisibleWindow("#32768", nullptr)) != nullptr; }, 5000))
        return 1;
    RECT rect{};
    ::GetWindowRect(menu, &rect);
    if (tray)
        ::UnionRect(&rect, &rect, &area);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return 0;
}

// Time since the watch began, as a prefix.
struct Clock {
    DWORD start = Now();
    void Say(const char* format, const std::string& a = "", const std::string& b = "") const {
        std::printf("[%5.1f s] ", (Now() - start) / 1000.0);
        std::printf(format, a.c_str(), b.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
};

int Watch(const std::string& reportPath, DWORD timeoutMs) {
    Clock clock;
    const ResidentInstance old = Resident();
    const DWORD oldPid = old.pid;
    if (!oldPid) {
        clock.Say("no resident Pendlemark");
        return 1;
    }
    const std::string oldImage = old.image;
    const std::string oldVersion = VersionOf(oldImage);
    CHandle oldProcess(::OpenProcess(SYNCHRONIZE, FALSE, oldPid));
    CHandle running(::OpenEventA(SYNCHRONIZE, FALSE, "CVLUpdateRunning"));
    const std::string folder = DownloadFolder();
    std::string shown = RegText("LastDownloadFile");
    clock.Say("watching Pendlemark %s (%s)", oldVersion, oldImage);

    size_t reportRead = 0;
    bool runSeen = false, oldEnded = false;
    std::string progressText = "\x01", downloadName, packageName;
    DWORD downloadStart = 0, downloadBytes = 0, downloadTime = 0, packagePid = 0, lastSizeReport = 0;
    DWORD newPid = 0, restartedAfter = 0;
    std::string newImage, newVersion;
    CHandle package;
    while (Now() - clock.start < timeoutMs) {
        const bool isRunning = running && IsSignalled(running.Get());
        if (isRunning && !runSeen) {
            runSeen = true;
            clock.Say("update run started (CVLUpdateRunning signalled)");
        }
        HWND progress = VisibleWindow("#32770", "Updating Corvalis...");
        std::string text = progress ? TextOf(::GetDlgItem(progress, kStatusText)) : std::string();
        if (text != progressText) {
            if (progress)
                clock.Say("progress window: \"%s\"", text);
            else if (progressText != "\x01")
                clock.Say("progress window closed");
            progressText = text;
        }
        if (reportPath != "-") {
            FILE* report = std::fopen(reportPath.c_str(), "rb");
            if (report) {
                std::fseek(report, static_cast<long>(reportRead), SEEK_SET);
                char line[512];
                while (std::fgets(line, sizeof line, report) && std::strchr(line, '\n')) {
                    reportRead += std::strlen(line);
                    line[std::strcspn(line, "\r\n")] = '\0';
                    clock.Say("server: %s", line);
                }
                std::fclose(report);
            }
        }
        if (HWND box = VisibleWindow("#32770", "Corvalis Wayrail")) {
            clock.Say("message box: \"%s\"", TextOf(::GetDlgItem(box, 0xFFFF)));
            return 1;
        }
        if (downloadName.empty()) {
            WIN32_FIND_DATAA data;
            // Over HTTPS the bytes arrive in NAME.part, renamed to NAME once complete.
            HANDLE find = ::FindFirstFileA((folder + "*-update.exe*").c_str(), &data);
            if (find != INVALID_HANDLE_VALUE) {
                ::FindClose(find);
                downloadName = data.cFileName;
                const std::string part = ".part";
                if (downloadName.size() > part.size() &&
                    downloadName.compare(downloadName.size() - part.size(), part.size(), part) == 0)
                    downloadName.resize(downloadName.size() - part.size());
                downloadStart = lastSizeReport = Now();
                clock.Say("package found, downloading %s into %s", downloadName, folder);
            }
        } else if (!packagePid) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (::GetFileAttributesExA((folder + downloadName + ".part").c_str(), GetFileExInfoStandard,
                                       &data) ||
                ::GetFileAttributesExA((folder + downloadName).c_str(), GetFileExInfoStandard, &data)) {
                const DWORD before = downloadBytes;
                downloadBytes = data.nFileSizeLow;
                if (downloadBytes != before && Now() - lastSizeReport >= 1000) {
                    lastSizeReport = Now();
                    clock.Say("received %s bytes", std::to_string(downloadBytes));
                }
            }
        }
        if (!packagePid && (packagePid = FindPackageProcess(packageName)) != 0) {
            downloadTime = Now() - downloadStart;
            package.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, packagePid));
            char done[128];
            std::snprintf(done, sizeof done, "%lu bytes in %.1f s", downloadBytes, downloadTime / 1000.0);
            clock.Say("downloaded: %s", done);
            clock.Say("package running: %s (pid %s), Pendlemark waits for it", packageName,
                      std::to_string(packagePid));
        }
        if (package && ::WaitForSingleObject(package.Get(), 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(package.Get(), &code);
            package.Close();
            clock.Say("package ended (exit code %s)", std::to_string(code));
        }
        const std::string recorded = RegText("LastDownloadFile");
        if (recorded != shown) {
            shown = recorded;
            time_t when = static_cast<time_t>(RegDword(kParamsKey, "LastUpdateTime"));
            char stamp[64] = "";
            std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&when));
            clock.Say("recorded: LastDownloadFile=%s, LastUpdateTime=%s", recorded, stamp);
            clock.Say(::GetFileAttributesA(recorded.c_str()) == INVALID_FILE_ATTRIBUTES
                          ? "package deleted from the download folder"
                          : "package still in the download folder");
        }
        if (!oldEnded && oldProcess && ::WaitForSingleObject(oldProcess.Get(), 0) == WAIT_OBJECT_0) {
            oldEnded = true;
            clock.Say("Pendlemark %s (pid %s) has closed", oldVersion, std::to_string(oldPid));
        }
        const ResidentInstance now = Resident(0, oldPid);
        if (!newPid && now.pid) {
            newPid = now.pid;
            newImage = now.image;
            newVersion = VersionOf(newImage);
            restartedAfter = Now() - clock.start;
            clock.Say("Pendlemark restarted as version %s (pid %s)", newVersion, std::to_string(newPid));
            clock.Say("Pendlemark %s watches it prove itself: resident, and still running 10 s later",
                      oldVersion);
        }
        if (newPid && oldEnded) {
            const std::string folder = InstalledFolder() + "\\";
            bool setAside = false;
            for (const char* name : {"Pendlemark.exe.old", "cvlx.exe.old", "CVLHelp.htm.old"})
                setAside =
                    setAside || ::GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES;
            if (!setAside) {
                clock.Say("the previous version's set-aside files are deleted");
                std::printf("SUMMARY package %s\n", downloadName.c_str());
                std::printf("SUMMARY downloaded %lu bytes in %.1f s\n", downloadBytes, downloadTime / 1000.0);
                std::printf("SUMMARY recorded %s\n", shown.c_str());
                std::printf("SUMMARY version %s -> %s\n", oldVersion.c_str(), newVersion.c_str());
                std::printf("SUMMARY restarted %s after the request (%.1f s)\n", newImage.c_str(),
                            restartedAfter / 1000.0);
                std::printf("SUMMARY proved itself %.1f s after the request\n",
                            (Now() - clock.start) / 1000.0);
                std::fflush(stdout);
                return newVersion != oldVersion ? 0 : 1;
            }
        }
        ::Sleep(50);
    }
    clock.Say("gave up waiting for the new version");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 3;
    const std::string verb = argv[1];
    auto number = [&](int index, DWORD fallback) {
        return argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 0)) : fallback;
    };
    if (verb == "resident")
        return PrintResident(number(2, 30000));
    if (verb == "command" && argc > 2)
        return ::PostMessageA(MainWindow(), WM_COMMAND, number(2, 0), 0) ? 0 : 1;
    if (verb == "tray-menu" || verb == "close-menu")
        return TrayMenu(verb == "tray-menu");
    if (verb == "window" && argc > 2) {
        HWND window = nullptr;
        if (!WaitUntil([&] { return (window = VisibleWindow(nullptr, argv[2])) != nullptr; },
                       number(3, 10000)))
            return 1;
        return PrintRect(window);
    }
    if (verb == "answer" && argc > 3) {
        HWND window = ::FindWindowA(nullptr, argv[2]);
        if (!window)
            return 1;
        ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(number(3, IDOK), BN_CLICKED), 0);
        return WaitForWindowGone(window, 5000) ? 0 : 1;
    }
    if (verb == "controls" && argc > 2)
        return PrintControls(::FindWindowA(nullptr, argv[2]));
    if (verb == "watch" && argc > 2)
        return Watch(argv[2], number(3, 180000));
    return 3;
}
