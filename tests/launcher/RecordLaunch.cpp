// A stand-in for the browser's original launcher. It writes its raw command line to a file named
// after itself plus ".txt", then, while the test holds "PMTestLauncherRelease", stays running so the
// test can see that whoever started it has already returned.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char module[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0 || length >= sizeof module)
        return 2;
    const std::string record = std::string(module, length) + ".txt";
    const std::string partial = record + ".part";
    const char* line = ::GetCommandLineA();

    // Written aside and renamed, so the test never reads half a record.
    HANDLE file = ::CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || !::MoveFileExA(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 4;

    HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, "PMTestLauncherRelease");
    if (release) {
        ::WaitForSingleObject(release, 30000);
        ::CloseHandle(release);
    }
    return 0;
}
