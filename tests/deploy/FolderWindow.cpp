// A stand-in of the shell's folder window for a folder named Pendlemark: class CabinetWClass, titled
// with the folder's name, in a process of its own. Every WM_CLOSE it receives is appended to the file
// named on its command line; it stays open, so that one message too many is seen, not just a window
// gone.
//   pm_folder_window <record file>
#include <windows.h>

#include <cstdio>

namespace {

const char* g_record = "";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        if (FILE* record = std::fopen(g_record, "ab")) {
            std::fputs("WM_CLOSE\n", record);
            std::fclose(record);
        }
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 3;
    g_record = argv[1];
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "CabinetWClass";
    if (!::RegisterClassA(&windowClass))
        return 1;
    HWND window = ::CreateWindowExA(0, "CabinetWClass", "Pendlemark", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                    400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
