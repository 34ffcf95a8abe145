// Plays "another process" against a file: pm_file_tool PATH tries to read it, write it, rename it away
// and delete it, and exits with a bit for each that succeeded (1 read, 2 write, 4 rename, 8 delete).
// pm_file_tool --replace PATH SOURCE MS keeps putting SOURCE in the place of PATH for MS milliseconds
// (renamed over it, copied over it, written into it) and exits with how often that worked (255 at most).
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
int Replace(const std::string& path, const std::string& source, DWORD milliseconds) {
    std::vector<char> bytes;
    HANDLE file =
        CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    const std::string staged = path + ".racer";
    int replaced = 0;
    for (const ULONGLONG end = GetTickCount64() + milliseconds; GetTickCount64() < end;) {
        if (CopyFileA(source.c_str(), staged.c_str(), FALSE) &&
            MoveFileExA(staged.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
            ++replaced;
        if (CopyFileA(source.c_str(), path.c_str(), FALSE))
            ++replaced;
        file =
            CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            if (WriteFile(file, bytes.data(), got, &written, nullptr) && SetEndOfFile(file))
                ++replaced;
            CloseHandle(file);
        }
    }
    DeleteFileA(staged.c_str());
    return replaced < 255 ? replaced : 255;
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--replace")
        return Replace(argv[2], argv[3], static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)));
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
