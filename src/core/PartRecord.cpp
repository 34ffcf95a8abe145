#include "PartRecord.h"

namespace {
std::string EntryText(const PartEntry& entry) {
    return entry.name + "|" + std::to_string(entry.size) + "|" + entry.sha256 + "|";
}
} // namespace

std::string PartRecordText(const PartEntry& entry, const std::string& validator) {
    return EntryText(entry) + validator;
}

std::optional<std::string> PartRecordValidator(const std::string& record, const PartEntry& entry) {
    const std::string prefix = EntryText(entry);
    if (record.size() <= prefix.size() || record.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string validator = record.substr(prefix.size());
    for (unsigned char c : validator) {
        if (c < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    return validator;
}
