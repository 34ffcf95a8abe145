// Listed names: the safety test and the date read from their start.
#include "FuzzCheck.h"
#include "core/PackageName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);

    if (IsSafePackageName(name)) {
        FUZZ_CHECK(!name.empty() && name.find_first_of("\\/:") == std::string::npos);
        FUZZ_CHECK(name.find_first_not_of('.') != std::string::npos);
        for (unsigned char c : name)
            FUZZ_CHECK(c >= 0x20);
    }

    if (std::optional<PackageDate> date = PackageDateOf(name)) {
        // Two characters of a number at most, a sign among them: -9 to 99.
        FUZZ_CHECK(date->year >= 1991 && date->year <= 2099);
        FUZZ_CHECK(date->month >= 1 && date->month <= 12);
        FUZZ_CHECK(date->day >= 1 && date->day <= 31);
        FUZZ_CHECK(!(*date < *date));
    }
    return 0;
}
