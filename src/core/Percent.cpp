#include "Percent.h"

#include <cmath>

int TransferPercent(std::uint64_t received, std::uint64_t expected) {
    // Without a known size (the listing said 0 bytes) there is no share to show: the bar stays at 0
    // rather than claim an end.
    if (expected == 0)
        return 0;
    double percent = std::floor(static_cast<double>(received) / static_cast<double>(expected) * 100.0 + 0.5);
    return percent > 100.0 ? 100 : static_cast<int>(percent);
}

int PercentOfRange(int position, int low, int high) {
    // 64 bits: a position far outside a wide range would overflow 32; wherever 32 bits sufficed,
    // the result is the same.
    const std::int64_t span = static_cast<std::int64_t>(high) - low;
    std::int64_t percent = span != 0 ? (static_cast<std::int64_t>(position) - low) * 100 / span : 0;
    if (percent != 100)
        percent %= 100;
    return static_cast<int>(percent);
}
