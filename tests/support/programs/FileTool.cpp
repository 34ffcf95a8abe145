// Plays "another process" against a file: pm_file_tool PATH tries to read it, write it, rename it away
// and delete it, and exits with a bit for each that succeeded (1 read, 2 write, 4 rename, 8 delete).
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 64;
    const std::string path = argv[1];
    int done = 0;
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        done |= 1;
        CloseHandle(file);
    }
    file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        done |= 2;
        CloseHandle(file);
    }
    const std::string aside = path + ".aside";
    if (MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        done |= 4;
        MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    if (DeleteFileA(path.c_str()))
        done |= 8;
    return done;
}
