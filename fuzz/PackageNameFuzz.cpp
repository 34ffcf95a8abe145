// Listed names: the safety test and the date read from their start.
#include "FuzzCheck.h"
#include "core/PackageName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);

    if (IsSafePackageName(name)) {
        FUZZ_CHECK(!name.empty() && name.find_first_of("\\/:<>\"|?*") == std::string::npos);
        FUZZ_CHECK(name.find_first_not_of('.') != std::string::npos);
        for (unsigned char c : name)
            FUZZ_CHECK(c >= 0x20);
    }

    if (std::optional<PackageDate> date = PackageDateOf(name)) {
        // Six ASCII digits in front.
        FUZZ_CHECK(date->year >= 2000 && date->year <= 2099);
        for (std::size_t i = 0; i < 6; ++i)
            FUZZ_CHECK(name[i] >= '0' && name[i] <= '9');
        FUZZ_CHECK(date->month >= 1 && date->month <= 12);
        FUZZ_CHECK(date->day >= 1 && date->day <= 31);
        FUZZ_CHECK(!(*date < *date));
    }
    return 0;
}
