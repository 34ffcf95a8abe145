// Four-part versions as the registry keeps them: "a.b.c.d", each part 0 to 65535.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// 0x0001000200030004 gives "1.2.3.4".
std::string VersionText(std::uint64_t version);
// Without the fourth part, as a program names its own version: "1.2.3".
std::string ThreePartVersionText(std::uint64_t version);

// The version of exactly four decimal parts separated by dots, each at most 65535 and at most five
// digits; nothing for any other text.
std::optional<std::uint64_t> ParseVersionText(const std::string& text);
