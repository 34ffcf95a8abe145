// Common platform includes and small helpers for the framework layer.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <string>

// Byte strings in the system's ANSI code page throughout.
using CString = std::string;

// The program's resource module.
inline HINSTANCE AfxGetResourceHandle() {
    return ::GetModuleHandleA(nullptr);
}

// Loads a string resource from the program's module; empty when missing.
inline CString AfxLoadString(UINT id) {
    char buffer[1024];
    int length = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    return length > 0 ? CString(buffer, static_cast<size_t>(length)) : CString();
}

// Text in the ANSI code page as UTF-16, for the interfaces that take only wide text.
inline std::wstring AfxWiden(const char* text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}
