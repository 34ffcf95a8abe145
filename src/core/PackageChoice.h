// The choice of the package to install from a server listing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One entry of a server listing, as the listing gives it.
struct ListedFile {
    std::string name;
    std::uint64_t size = 0;
    bool isDirectory = false;
};

// The file with the latest date in its name, skipping directories, unsafe names and undated names;
// among equal dates the first listed. Nothing when no entry qualifies.
std::optional<ListedFile> ChooseNewestPackage(const std::vector<ListedFile>& listing);
