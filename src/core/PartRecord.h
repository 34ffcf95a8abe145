// What the next attempt needs to take a cut transfer up again, kept beside its part file:
// "NAME|SIZE|SHA256|VALIDATOR", the list entry the part belongs to and the server's validator of the file
// (its ETag, or else its Last-Modified).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct PartEntry {
    std::string name;
    std::uint64_t size = 0;
    std::string sha256; // in hex, empty when the entry has none
};

std::string PartRecordText(const PartEntry& entry, const std::string& validator);
// The validator recorded for this entry; none for another entry, none recorded, or one that could not be
// sent back as it is (a control character would end the header it goes in).
std::optional<std::string> PartRecordValidator(const std::string& record, const PartEntry& entry);
