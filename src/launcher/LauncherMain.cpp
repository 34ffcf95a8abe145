// cvlx.exe: the launcher copy put in place of cvl.exe. It starts the original launcher, saved as
// cvlex.exe beside it, with the same arguments, and does nothing else.
#include "framework/Handles.h"

#include <windows.h>

#include <string>

namespace {
const char kCaption[] = "Corvalis";
const char kOriginal[] = "cvlex.exe";
// What it says when the browser cannot start.
const char kNoFolderText[] = "The Corvalis launcher cannot find its own folder.";
const char kMissingText[] = "Corvalis cannot be started because its launcher is missing:\n\n";
const char kNotStartedText[] = "Corvalis could not be started:\n\n";

// The raw command line after the program name, so the original launcher sees exactly what we got.
const char* ArgumentTail(const char* line) {
    bool quoted = false;
    for (; *line; ++line) {
        if (*line == '"')
            quoted = !quoted;
        else if (!quoted && (*line == ' ' || *line == '\t'))
            break;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

std::string SystemText(DWORD error) {
    char* text = nullptr;
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length ? std::string(text, length) : "Error " + std::to_string(error) + ".";
    if (text)
        ::LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n'))
        result.pop_back();
    return result;
}

int Complain(const std::string& text) {
    ::MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char module[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
    if (length == 0 || length >= sizeof module)
        return Complain(kNoFolderText);
    std::string original(module, length);
    original.erase(original.find_last_of("\\/") + 1);
    original += kOriginal;

    if (::GetFileAttributesA(original.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Complain(kMissingText + original);

    std::string commandLine = "\"" + original + "\"";
    const char* tail = ArgumentTail(::GetCommandLineA());
    if (*tail)
        commandLine += std::string(" ") + tail;

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(original.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return Complain(kNotStartedText + original + "\n\n" + SystemText(::GetLastError()));
    // Nothing waits for the browser: both handles go at once.
    CHandle thread(process.hThread), started(process.hProcess);
    return 0;
}
