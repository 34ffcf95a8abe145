#include "ProgramIdentity.h"

#include "core/PeFileVersion.h"
#include "core/VersionText.h"
#include "framework/Handles.h"

#include <cstring>
#include <vector>

namespace {
// Far more than a program of ours; a larger file is read for its size and time only.
constexpr std::uint64_t kLargestImage = 64ull << 20;
} // namespace

CProgramIdentity CProgramIdentity::Of(const CString& path) {
    CProgramIdentity identity;
    if (path.empty())
        return identity;
    // A running program may be read, renamed and deleted by others; so may this file while we read it.
    CHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return identity;
    identity.m_size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.m_lastWrite = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                           info.ftLastWriteTime.dwLowDateTime;
    if (identity.m_size <= kLargestImage) {
        std::vector<std::uint8_t> image(static_cast<size_t>(identity.m_size));
        DWORD read = 0;
        if (!image.empty() &&
            ::ReadFile(file.Get(), image.data(), static_cast<DWORD>(image.size()), &read, nullptr) &&
            read == image.size())
            ReadPeFileVersion(image, identity.m_version);
    }
    identity.m_known = true;
    return identity;
}

bool CProgramIdentity::SameAs(const CProgramIdentity& other) const {
    return m_known && other.m_known && m_size == other.m_size && m_lastWrite == other.m_lastWrite &&
           m_version == other.m_version;
}

std::string RunningProgramVersion() {
    // VS_VERSIONINFO: three WORDs and the key "VS_VERSION_INFO" in UTF-16 with its terminator, padded
    // to 4 bytes, then the fixed file information.
    constexpr std::size_t kFixedInfoOffset = 40;
    constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
    std::uint64_t version = 0;
    HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    VS_FIXEDFILEINFO fixed;
    if (bytes && ::SizeofResource(nullptr, found) >= kFixedInfoOffset + sizeof fixed) {
        std::memcpy(&fixed, bytes + kFixedInfoOffset, sizeof fixed);
        if (fixed.dwSignature == kFixedInfoSignature)
            version = (static_cast<std::uint64_t>(fixed.dwFileVersionMS) << 32) | fixed.dwFileVersionLS;
    }
    return ThreePartVersionText(version);
}
