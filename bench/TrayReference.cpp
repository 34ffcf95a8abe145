// The yardstick of the start-up benchmark: a bare tray program that loads the platform DLLs the
// resident program is built on and starts as it does (sockets 1.1, the rich-edit library, OLE, the
// common controls, a hidden window with a tray icon), and nothing else.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <wininet.h>
#include <winsock.h>

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Linked as the resident program links them, so that each DLL is imported at start-up.
void* volatile g_imports[] = {
    reinterpret_cast<void*>(&::InternetOpenA), reinterpret_cast<void*>(&::SysAllocString),
    reinterpret_cast<void*>(&::RegOpenKeyExA), reinterpret_cast<void*>(&::GetStockObject)};
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WSADATA sockets;
    if (::WSAStartup(MAKEWORD(1, 1), &sockets) != 0)
        return 1;
    ::LoadLibraryA("RICHED32.DLL");
    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "PmTrayReference";
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowExA(0, "PmTrayReference", "Pendlemark reference", WS_OVERLAPPEDWINDOW, 0, 0,
                                    100, 100, nullptr, nullptr, instance, nullptr);
    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = WM_USER;
    icon.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    ::lstrcpyA(icon.szTip, "Pendlemark reference");
    ::Shell_NotifyIconA(NIM_ADD, &icon);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    ::OleUninitialize();
    ::WSACleanup();
    return 0;
}
