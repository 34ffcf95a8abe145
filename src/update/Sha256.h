// SHA-256 through the platform's CNG provider, for the update list's package digests.
#pragma once

#include "framework/Afx.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

using Sha256Digest = std::array<std::uint8_t, 32>;

class CSha256 {
  public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // FALSE once anything failed; the digest is then never given out.
    bool Add(const void* data, std::size_t size);
    std::optional<Sha256Digest> Finish();

    // The digest of a whole open file, read from its start; nothing when it cannot be read.
    static std::optional<Sha256Digest> OfFile(HANDLE file);

  private:
    void* m_algorithm = nullptr;
    void* m_hash = nullptr;
    bool m_failed = false;
};
