// A stand-in update package: records its command line in "<own path>.cmdline" and fails on purpose,
// since the updater must count a package that started and ended as installed whatever it returns;
// PM_PACKAGE_EXIT in its environment sets another exit code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length + 9 > MAX_PATH)
        return 2;
    char record[MAX_PATH];
    std::snprintf(record, sizeof record, "%s.cmdline", path);
    if (FILE* out = std::fopen(record, "wb")) {
        std::fputs(::GetCommandLineA(), out);
        std::fclose(out);
    }
    char exitCode[16] = "";
    if (::GetEnvironmentVariableA("PM_PACKAGE_EXIT", exitCode, sizeof exitCode) > 0)
        return static_cast<int>(std::strtoul(exitCode, nullptr, 10));
    return 7;
}
