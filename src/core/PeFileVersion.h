// The version resource (VS_VERSION_INFO) of a Windows program image, read from the file's own bytes. The
// platform's version calls read a program that is running from the loader's copy in memory, which is not
// the file now at its path once an installer has replaced it; and a downloaded package is read from the
// very bytes that were checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PeVersionInfo {
    // FILEVERSION's four parts, most significant first: 1.2.3.4 is 0x0001000200030004.
    std::uint64_t fileVersion = 0;
    // ProductName of the first translation the resource lists (of its first string table when it lists
    // none); empty when missing.
    std::u16string productName;
};

// FALSE, info untouched, when the bytes are no image or hold no version resource with fixed file
// information.
bool ReadPeVersionInfo(const std::uint8_t* image, std::size_t size, PeVersionInfo& info);

// The file version alone; FALSE, version untouched, as above.
bool ReadPeFileVersion(const std::vector<std::uint8_t>& image, std::uint64_t& version);
