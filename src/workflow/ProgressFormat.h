#pragma once
// The texts and figures the download window shows for a transfer: sizes, speed, percent.
// Portable.

#include <cstdint>
#include <string>

// One size with the largest unit it reaches (GB at most): "%0.2fGB", "%0.2fMB", "%0.2fKB" or
// "%0.2fB". The quotient is held in single precision, so 1,048,575 bytes read "1024.00KB".
std::wstring FormatSize(uint64_t bytes);

// "done/total", each as FormatSize writes it.
std::wstring FormatSizePairText(uint64_t done, uint64_t total);

// "速度：%0.1fKB/s" with the speed in bytes per second.
std::wstring FormatSpeed(uint64_t bytesPerSecond);

// done * 100 / total in whole percent, rounded down, at most 100; 0 when total is 0. Exact
// for every 64-bit pair (no intermediate product overflows).
unsigned PercentOf(uint64_t done, uint64_t total);
