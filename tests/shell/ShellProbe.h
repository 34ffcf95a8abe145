// Asks the real notification area about an icon, behind the back of the object that placed it.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace pmtest {

inline NOTIFYICONDATAA ProbeData(HWND window, UINT id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = id;
    return data;
}

// A change that changes nothing succeeds exactly while the icon is there.
inline bool ShellHasIcon(HWND window, UINT id) {
    NOTIFYICONDATAA data = ProbeData(window, id);
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// What a recreated taskbar looks like to the icon's owner: the icon is gone.
inline bool RemoveFromShell(HWND window, UINT id) {
    NOTIFYICONDATAA data = ProbeData(window, id);
    return ::Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

// An icon with the same window and id makes the shell refuse the owner's own add.
inline bool AddToShell(HWND window, UINT id) {
    NOTIFYICONDATAA data = ProbeData(window, id);
    data.uFlags = NIF_ICON;
    data.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
    return ::Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

} // namespace pmtest
