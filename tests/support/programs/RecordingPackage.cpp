// A stand-in update package that tests pad to any size (bytes appended after the image still run).
// It appends "<process id> <own size in bytes>" to runs.log beside itself, so that a test sees
// every start and whether a whole file ran, then signals PmPackageStarted. While PmPackageHold is
// signalled it keeps running until PmPackageRelease (at most 30 s, so it never outlives a test).
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {
long long OwnSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool IsSignalled(const char* name) {
    HANDLE event = ::OpenEventA(SYNCHRONIZE, FALSE, name);
    if (!event)
        return false;
    bool signalled = ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    ::CloseHandle(event);
    return signalled;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    char log[MAX_PATH];
    std::strcpy(log, path);
    char* slash = std::strrchr(log, '\\');
    if (!slash || (slash - log) + sizeof "\\runs.log" > sizeof log)
        return 2;
    std::strcpy(slash, "\\runs.log");

    char line[64];
    int size = std::snprintf(line, sizeof line, "%lu %lld\n", ::GetCurrentProcessId(), OwnSize(path));
    HANDLE file = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);

    HANDLE started = ::CreateEventA(nullptr, TRUE, FALSE, "PmPackageStarted");
    if (started) {
        ::SetEvent(started);
        ::CloseHandle(started);
    }
    if (IsSignalled("PmPackageHold")) {
        HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, "PmPackageRelease");
        if (release) {
            ::WaitForSingleObject(release, 30000);
            ::CloseHandle(release);
        }
    }
    return 0;
}
