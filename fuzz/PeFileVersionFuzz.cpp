// Program images as they may lie on disk, whole, cut or damaged: the version and product name are read
// or refused, never read from outside the bytes, and bytes appended after the image change nothing.
#include "FuzzCheck.h"
#include "core/PeFileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> image(data, data + size);
    const std::uint64_t untouched = 0x0123456789abcdefULL;
    std::uint64_t version = untouched;
    const bool read = ReadPeFileVersion(image, version);
    if (!read)
        FUZZ_CHECK(version == untouched);

    // An exact copy, so that a read past the end is caught.
    PeVersionInfo info{untouched, u"untouched"};
    FUZZ_CHECK(ReadPeVersionInfo(image.data(), image.size(), info) == read);
    if (read)
        FUZZ_CHECK(info.fileVersion == version && info.productName.size() <= size / 2);
    else
        FUZZ_CHECK(info.fileVersion == untouched && info.productName == u"untouched");

    // An overlay (a signature, an installer's payload) follows the image without being part of it.
    std::vector<std::uint8_t> longer = image;
    longer.insert(longer.end(), 512, 0xA5);
    PeVersionInfo again;
    if (read)
        FUZZ_CHECK(ReadPeVersionInfo(longer.data(), longer.size(), again) && again.fileVersion == version &&
                   again.productName == info.productName);
    return 0;
}
