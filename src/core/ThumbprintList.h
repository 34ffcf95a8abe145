// The pinned publishers of trusted packages: SHA-256 certificate thumbprints as people paste them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Thumbprint = std::array<std::uint8_t, 32>;

struct ThumbprintList {
    enum class Status {
        None,      // no pin: nothing is verified
        Valid,     // at least one thumbprint, all well formed
        Malformed, // a pin was given but is not a list of thumbprints: nothing may be trusted
    };
    Status status = Status::None;
    std::vector<Thumbprint> thumbprints;

    // TRUE only for a valid list that holds this thumbprint.
    bool Allows(const Thumbprint& thumbprint) const;
};

// 64 hex digits each, separated by ";", "," or blanks. Letter case, blanks between the digits of one
// thumbprint and ":" between digit pairs are ignored. An empty text is no pin; any other text that is
// not such a list (wrong length, a foreign character, only separators) is malformed.
ThumbprintList ParseThumbprintList(const std::string& text);

// Lower-case hex of a thumbprint, for messages and tests.
std::string ThumbprintHex(const Thumbprint& thumbprint);
