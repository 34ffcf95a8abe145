// The scheduler's due time and the progress window's percentages, for any numbers at all.
#include "FuzzCheck.h"
#include "core/DueTime.h"
#include "core/Percent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int days = input.Number<int>();
    const std::int64_t due = IntervalDueTime(days);
    FUZZ_CHECK(due <= 0 && due >= -24855LL * 864000000000LL && due % 864000000000LL == 0);
    FUZZ_CHECK((due == 0) == (days == 0));

    const std::uint64_t received = input.Number<std::uint64_t>();
    const std::uint64_t expected = input.Number<std::uint64_t>();
    const int percent = TransferPercent(received, expected);
    FUZZ_CHECK(percent >= 0 && percent <= 100);
    FUZZ_CHECK(expected != 0 || percent == 0);
    FUZZ_CHECK(expected == 0 || received < expected || percent == 100);

    const int position = input.Number<int>();
    const int low = input.Number<int>();
    const int high = input.Number<int>();
    const int shown = PercentOfRange(position, low, high);
    FUZZ_CHECK(shown == 100 || (shown > -100 && shown < 100));
    return 0;
}
