// Program images as they may lie on disk, whole, cut or damaged: the version is read or refused, never
// read from outside the bytes, and bytes appended after the image change nothing.
#include "FuzzCheck.h"
#include "core/PeFileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> image(data, data + size);
    const std::uint64_t untouched = 0x0123456789abcdefULL;
    std::uint64_t version = untouched;
    const bool read = ReadPeFileVersion(image, version);
    if (!read)
        FUZZ_CHECK(version == untouched);

    // An overlay (a signature, an installer's payload) follows the image without being part of it.
    std::vector<std::uint8_t> longer = image;
    longer.insert(longer.end(), 512, 0xA5);
    std::uint64_t again = untouched;
    if (read)
        FUZZ_CHECK(ReadPeFileVersion(longer, again) && again == version);
    return 0;
}
