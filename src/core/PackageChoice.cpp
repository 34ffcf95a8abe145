#include "PackageChoice.h"

std::optional<ListedFile> ChooseNewestPackage(const std::vector<ListedFile>& listing,
                                              const PackageDateReader& dateOf) {
    const ListedFile* candidate = nullptr;
    PackageDate candidateDate;
    for (const ListedFile& entry : listing) {
        // The suffix is checked here, not left to the date reader: every caller's reader gets it.
        if (entry.isDirectory || !IsSafePackageName(entry.name) || !HasPackageSuffix(entry.name))
            continue;
        std::optional<PackageDate> date = dateOf(entry.name);
        if (!date)
            continue;
        // Strictly later only: among equal dates the first listed stays.
        if (!candidate || candidateDate < *date) {
            candidate = &entry;
            candidateDate = *date;
        }
    }
    if (!candidate)
        return std::nullopt;
    return *candidate;
}
