// The file version (FILEVERSION of the VS_VERSION_INFO resource) of a Windows program image, read
// from the file's own bytes. The platform's version calls read a program that is running from the
// loader's copy in memory, which is not the file now at its path once an installer has replaced it.
#pragma once

#include <cstdint>
#include <vector>

// FALSE, version untouched, when the bytes are no image or hold no version resource. The four parts
// come most significant first: 1.2.3.4 is 0x0001000200030004.
bool ReadPeFileVersion(const std::vector<std::uint8_t>& image, std::uint64_t& version);
