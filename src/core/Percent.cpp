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
    int span = high - low;
    int percent = span != 0 ? (position - low) * 100 / span : 0;
    if (percent != 100)
        percent %= 100;
    return percent;
}
