// The choice from a listing: the chosen entry qualifies, none later qualifies, and among equal dates
// it is the first listed. Input: entries separated by newlines, each a flag byte and a name.
#include "FuzzCheck.h"
#include "core/PackageChoice.h"
#include "core/PackageName.h"

namespace {
std::optional<PackageDate> QualifyingDate(const ListedFile& entry) {
    if (entry.isDirectory || !IsPackageFileName(entry.name))
        return std::nullopt;
    return PackageDateOf(entry.name);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    std::vector<ListedFile> listing;
    while (!input.AtEnd()) {
        std::uint8_t flags = input.Byte();
        // The size tells the entries apart: it is the entry's position, above 32 bits when flagged.
        std::uint64_t position = listing.size();
        listing.push_back(
            {input.Until('\n'), (flags & 2) ? position | (1ULL << 40) : position, (flags & 1) != 0});
    }

    std::optional<ListedFile> chosen = ChooseNewestPackage(listing);
    std::optional<std::size_t> first; // the first listed entry of the latest date
    std::optional<PackageDate> latest;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        std::optional<PackageDate> date = QualifyingDate(listing[i]);
        if (date && (!latest || *latest < *date)) {
            latest = date;
            first = i;
        }
    }
    FUZZ_CHECK(chosen.has_value() == first.has_value());
    if (chosen) {
        const ListedFile& expected = listing[*first];
        FUZZ_CHECK(chosen->name == expected.name);
        FUZZ_CHECK(chosen->size == expected.size);
        FUZZ_CHECK(!chosen->isDirectory);
    }
    return 0;
}
