#include "ProcessGauge.h"

#include "framework/Handles.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pmtest {

namespace {
// SystemExtendedHandleInformation: one entry per open handle of every process.
constexpr ULONG kSystemExtendedHandleInformation = 64;
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

// The GDI handle table that the 64-bit PEB points to (GdiSharedHandleTable at 0xF8); Wine keeps
// each process's GDI objects there, 65536 entries of this shape.
constexpr SIZE_T kPebGdiTableOffset = 0xF8;
constexpr size_t kGdiTableEntries = 0x10000;
struct GdiEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique; // low byte: type bits and the stock flag (0x80); high byte: generation, 0 if never used
    UCHAR type;    // 0: free
    UCHAR flags;
    UINT64 userPointer;
};
static_assert(sizeof(GdiEntry) == 24, "GDI handle table entry");

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

template <typename Function> Function NtFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

long CountHandles(DWORD processId) {
    auto query = NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query)
        return -1;
    std::vector<char> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
            long count = 0;
            for (ULONG_PTR i = 0; i < list->count; ++i)
                count += list->entries[i].processId == processId ? 1 : 0;
            return count;
        }
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
    }
    return -1;
}

long CountGdiObjects(HANDLE process) {
    auto query = NtFunction<QueryInformationProcess>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !basic.PebBaseAddress)
        return -1;
    UINT64 table = 0;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process,
                             reinterpret_cast<const char*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                             sizeof table, &read) ||
        !table)
        return -1;
    // Entries are handed out from the start of the table: the first block never used ends it.
    std::vector<GdiEntry> block(4096);
    long count = 0;
    for (size_t first = 0; first < kGdiTableEntries; first += block.size()) {
        if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(table + first * sizeof(GdiEntry)),
                                 block.data(), block.size() * sizeof(GdiEntry), &read))
            return -1;
        bool used = false;
        for (const GdiEntry& entry : block) {
            used = used || (entry.unique >> 8) != 0;
            if (entry.type != 0 && !(entry.unique & 0x80))
                ++count;
        }
        if (!used)
            break;
    }
    return count;
}

struct WindowCount {
    DWORD processId;
    long count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    windows->count += owner == windows->processId ? 1 : 0;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    CountChild(window, param);
    ::EnumChildWindows(window, &CountChild, param); // every descendant
    return TRUE;
}

long CountWindows(DWORD processId) {
    WindowCount windows{processId, 0};
    ::EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND window = nullptr;
         (window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
        CountTopLevel(window, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

long long CommittedPrivateBytes(HANDLE process) {
    long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (::VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<long long>(region.RegionSize);
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return total;
}

// A file of the Linux /proc tree, which Wine shows under drive Z:.
std::string ReadProcFile(const std::string& relative) {
    std::string path = "Z:\\proc\\" + relative;
    CHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

std::string EnvironmentEntry(const std::string& block, const std::string& name) {
    const std::string key = name + "=";
    for (size_t at = 0; at < block.size();) {
        size_t end = block.find('\0', at);
        if (end == std::string::npos)
            end = block.size();
        if (block.compare(at, key.size(), key) == 0)
            return block.substr(at, end - at);
        at = end + 1;
    }
    return std::string();
}

long long StatusKb(const std::string& status, const std::string& field) {
    size_t at = status.find("\n" + field + ":");
    if (at == std::string::npos)
        return -1;
    return std::atoll(status.c_str() + at + field.size() + 2);
}

long CountLinuxFds(int linuxPid) {
    WIN32_FIND_DATAA data;
    std::string pattern = "Z:\\proc\\" + std::to_string(linuxPid) + "\\fd\\*";
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    long count = 0;
    do {
        std::string name = data.cFileName;
        count += name != "." && name != ".." ? 1 : 0;
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return count;
}
} // namespace

ProcessFigures MeasureProcess(DWORD processId, int linuxPid) {
    ProcessFigures figures;
    figures.handles = CountHandles(processId);
    figures.userWindows = CountWindows(processId);
    if (CHandle process{::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId)}) {
        figures.gdiObjects = CountGdiObjects(process.Get());
        figures.privateBytes = CommittedPrivateBytes(process.Get());
    }
    if (linuxPid > 0) {
        const std::string status = ReadProcFile(std::to_string(linuxPid) + "\\status");
        figures.rssAnonKb = StatusKb(status, "RssAnon");
        figures.vmRssKb = StatusKb(status, "VmRSS");
        figures.linuxFds = CountLinuxFds(linuxPid);
    }
    return figures;
}

int LinuxPidOf(const std::string& exeName) {
    // Linux keeps 15 characters of a process name.
    const std::string comm = exeName.substr(0, 15) + "\n";
    const std::string prefix = EnvironmentEntry(ReadProcFile("self\\environ"), "WINEPREFIX");
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA("Z:\\proc\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    int matches = 0;
    do {
        char* end = nullptr;
        long pid = std::strtol(data.cFileName, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        const std::string dir = data.cFileName;
        if (ReadProcFile(dir + "\\comm") != comm ||
            EnvironmentEntry(ReadProcFile(dir + "\\environ"), "WINEPREFIX") != prefix)
            continue;
        found = static_cast<int>(pid);
        ++matches;
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return matches == 1 ? found : 0;
}

} // namespace pmtest
