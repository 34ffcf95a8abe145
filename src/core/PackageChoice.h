// The choice of the package to install from a server listing.
#pragma once

#include "PackageName.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One entry of a server listing, as the listing gives it.
struct ListedFile {
    std::string name;
    std::uint64_t size = 0;
    bool isDirectory = false;
};

using PackageDateReader = std::function<std::optional<PackageDate>(const std::string& name)>;

// The file with the latest date in its name, skipping directories, unsafe names, names without the
// package suffix and undated names; among equal dates the first listed. Nothing when no entry qualifies.
std::optional<ListedFile> ChooseNewestPackage(const std::vector<ListedFile>& listing,
                                              const PackageDateReader& dateOf = PackageDateOf);
