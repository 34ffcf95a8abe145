// The percentages of the progress window.
#pragma once

#include <cstdint>

// The nearest whole percentage of the expected bytes received, a half going up, never above 100;
// 0 when nothing is expected.
int TransferPercent(std::uint64_t received, std::uint64_t expected);

// The percentage a bar position stands for within its range, as its text shows it: 100 only for a
// full bar, otherwise below 100.
int PercentOfRange(int position, int low, int high);
