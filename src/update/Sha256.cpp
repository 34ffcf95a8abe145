#include "Sha256.h"

#include "DelayLoads.h"

#include <bcrypt.h>

#include <vector>

CSha256::CSha256() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!DelayLoadsAvailable() ||
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
        m_failed = true;
        return;
    }
    m_algorithm = algorithm;
    if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0)
        m_failed = true;
    m_hash = hash;
}

CSha256::~CSha256() {
    if (m_hash)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash));
    if (m_algorithm)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(m_algorithm), 0);
}

bool CSha256::Add(const void* data, std::size_t size) {
    // BCryptHashData takes at most 4 GiB at a time.
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (!m_failed && size > 0) {
        const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        if (BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_hash), const_cast<UCHAR*>(bytes), part, 0) != 0)
            m_failed = true;
        bytes += part;
        size -= part;
    }
    return !m_failed;
}

std::optional<Sha256Digest> CSha256::Finish() {
    Sha256Digest digest{};
    if (m_failed ||
        BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash), digest.data(), digest.size(), 0) != 0) {
        m_failed = true;
        return std::nullopt;
    }
    m_failed = true; // a finished hash takes nothing more
    return digest;
}

std::optional<Sha256Digest> CSha256::OfFile(HANDLE file) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return std::nullopt;
    CSha256 hash;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return std::nullopt;
        if (read == 0)
            return hash.Finish();
        if (!hash.Add(buffer.data(), read))
            return std::nullopt;
    }
}
