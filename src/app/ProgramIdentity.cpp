#include "ProgramIdentity.h"

#include <vector>

namespace {
std::uint64_t FileVersion(const CString& path) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return 0;
    std::vector<char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        return 0;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info)
        return 0;
    return (static_cast<std::uint64_t>(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
}
} // namespace

CProgramIdentity CProgramIdentity::Of(const CString& path) {
    CProgramIdentity identity;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return identity;
    identity.m_size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    identity.m_lastWrite = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime;
    identity.m_version = FileVersion(path);
    identity.m_known = true;
    return identity;
}

bool CProgramIdentity::SameAs(const CProgramIdentity& other) const {
    return m_known && other.m_known && m_size == other.m_size && m_lastWrite == other.m_lastWrite &&
           m_version == other.m_version;
}
