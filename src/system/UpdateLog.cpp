#include "UpdateLog.h"

#include "PathUtil.h"
#include "core/LogLine.h"
#include "framework/Handles.h"

#include <shlobj.h>

namespace {
const char kMakerFolder[] = "Corvalis";
const char kProgramFolder[] = "Pendlemark";
const char kLogName[] = "Pendlemark.log";
const char kOlderSuffix[] = ".1";
// Beside the log while one Pendlemark sets it aside (see TakeSetAsideLock).
const char kLockSuffix[] = ".lock";
// Enough for the last line however long its text.
constexpr DWORD kTailBytes = 8192;
// A Pendlemark sets the log aside within milliseconds; one that keeps the lock longer has hung.
constexpr ULONGLONG kLockWaitMs = 1000;
constexpr DWORD kLockRetryMs = 10;
// The last line of a log that cannot be set aside, written once.
const char kHeldText[] = "the log is full and another program keeps it from being set aside: "
                         "no more lines until it can be";

CString LocalAppData() {
    char path[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return path;
}

// Sharing everything: a viewer may hold it open, and setting it aside renames it under the viewer.
HANDLE OpenShared(const CString& path, DWORD access, DWORD disposition) {
    return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Tail(const CString& path) {
    CHandle file(OpenShared(path, GENERIC_READ, OPEN_EXISTING));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size))
        return std::string();
    LARGE_INTEGER from{};
    from.QuadPart = size.QuadPart > kTailBytes ? size.QuadPart - kTailBytes : 0;
    std::string tail(static_cast<std::size_t>(size.QuadPart - from.QuadPart), '\0');
    DWORD read = 0;
    if (tail.empty() || !::SetFilePointerEx(file.Get(), from, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.Get(), &tail[0], static_cast<DWORD>(tail.size()), &read, nullptr))
        return std::string();
    tail.resize(read);
    return tail;
}

std::uint64_t SizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool EndsWithHeldText(const std::string& tail) {
    const std::string end = std::string(": ") + kHeldText + "\r\n";
    return tail.size() >= end.size() && tail.compare(tail.size() - end.size(), end.size(), end) == 0;
}

// Only the holder of this file sets the log aside, so the Pendlemarks of the user, in any session, take
// turns. It lies in the user's own folder, where no other user can make or hold it, and goes when its
// holder closes it or ends. Null when it could not be had in time.
HANDLE TakeSetAsideLock(const CString& path) {
    const ULONGLONG deadline = ::GetTickCount64() + kLockWaitMs;
    for (;;) {
        HANDLE lock = ::CreateFileA(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock != INVALID_HANDLE_VALUE)
            return lock;
        // Held, or being deleted by the one who held it last.
        const DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            ::GetTickCount64() >= deadline)
            return nullptr;
        ::Sleep(kLockRetryMs);
    }
}

LocalTime Now() {
    FILETIME utc;
    FILETIME local;
    SYSTEMTIME fields{};
    ::GetSystemTimeAsFileTime(&utc);
    ::FileTimeToLocalFileTime(&utc, &local);
    ::FileTimeToSystemTime(&local, &fields);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                      time.dwLowDateTime);
    };
    // The offset in force now, to the minute.
    const long long offset = (ticks(local) - ticks(utc)) / 600000000;
    return LocalTime{fields.wYear,   fields.wMonth,           fields.wDay, fields.wHour, fields.wMinute,
                     fields.wSecond, static_cast<int>(offset)};
}
} // namespace

CString CUpdateLog::Folder() {
    const CString base = LocalAppData();
    const CString maker = base.empty() ? CString() : JoinPath(base, kMakerFolder);
    const CString program = maker.empty() ? CString() : JoinPath(maker, kProgramFolder);
    return program.empty() ? CString() : JoinPath(program, "");
}

CString CUpdateLog::FilePath() {
    const CString folder = Folder();
    const CString path = folder.empty() ? CString() : JoinPath(folder, kLogName);
    // The files beside it must fit too.
    static_assert(sizeof kLockSuffix >= sizeof kOlderSuffix, "the longest name beside the log");
    return path.size() + sizeof kLockSuffix - 1 > kMaxBuiltPath ? CString() : path;
}

void CUpdateLog::BeginRun(const std::string& startedBy) {
    m_path = FilePath();
    std::optional<std::uint64_t> last = m_path.empty() ? std::nullopt : LastRunNumber(Tail(m_path));
    if (!last && !m_path.empty())
        last = LastRunNumber(Tail(m_path + kOlderSuffix));
    m_run = last ? *last + 1 : 1;
    if (!m_path.empty()) {
        const CString folder = Folder();
        ::CreateDirectoryA(folder.substr(0, folder.size() - 1 - (sizeof kProgramFolder - 1)).c_str(),
                           nullptr);
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }
    Write(startedBy);
}

void CUpdateLog::Resume(std::uint64_t run) {
    m_file.Close();
    m_path = FilePath();
    m_run = run;
}

void CUpdateLog::Write(const std::string& text) {
    if (m_path.empty())
        return;
    // Open for the run; one a program held when the run began is tried again with each line.
    if (!m_file)
        m_file.Reset(OpenShared(m_path, FILE_APPEND_DATA, OPEN_ALWAYS));
    if (m_file && SizeOf(m_file.Get()) >= kLimit && !SetAside())
        return;
    if (m_file)
        Append(text);
}

bool CUpdateLog::SetAside() {
    // This handle may follow a log another Pendlemark has just set aside: the one at the path decides,
    // looked at once the lock is ours.
    m_file.Close();
    CHandle lock(TakeSetAsideLock(m_path + kLockSuffix));
    if (!lock)
        return false;
    m_file.Reset(OpenShared(m_path, FILE_APPEND_DATA, OPEN_ALWAYS));
    if (!m_file || SizeOf(m_file.Get()) < kLimit)
        return static_cast<bool>(m_file);
    m_file.Close();
    const bool setAside =
        ::MoveFileExA(m_path.c_str(), (m_path + kOlderSuffix).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    m_file.Reset(OpenShared(m_path, FILE_APPEND_DATA, OPEN_ALWAYS));
    if (setAside || !m_file)
        return setAside && m_file;
    // Held without delete sharing (by a viewer, say): it stays at its size, and its last line says why,
    // until a line finds it free.
    if (!EndsWithHeldText(Tail(m_path)))
        Append(kHeldText);
    return false;
}

void CUpdateLog::Append(const std::string& text) {
    const std::string line = LogLine(Now(), m_run, text) + "\r\n";
    DWORD written = 0;
    ::WriteFile(m_file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void CUpdateLog::Remove() {
    const CString path = FilePath();
    if (path.empty())
        return;
    ::DeleteFileA(path.c_str());
    ::DeleteFileA((path + kOlderSuffix).c_str());
    ::DeleteFileA((path + kLockSuffix).c_str());
    ::RemoveDirectoryA(Folder().c_str());
    ::RemoveDirectoryA(JoinPath(LocalAppData(), kMakerFolder).c_str());
}
