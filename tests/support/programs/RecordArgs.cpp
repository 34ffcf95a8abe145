// Stand-in launcher for tests: appends its command line to "<its own path>.args" (UTF-8) and exits.
// Wide calls: a folder in any script works whatever the code page.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    std::wcscat(path, L".args");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    const wchar_t* wide = GetCommandLineW();
    std::string line(std::wcslen(wide) * 3 + 1, '\0');
    int size =
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, &line[0], static_cast<int>(line.size()), nullptr, nullptr);
    if (size <= 0)
        return 4;
    line.resize(static_cast<size_t>(size));
    line.back() = '\n'; // in place of the terminator
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
