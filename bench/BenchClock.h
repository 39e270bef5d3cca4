#pragma once
// Clocks and the median every Windows benchmark reports with.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace BenchClock {

// Processor time of this thread: on a shared machine the wall clock also counts other programs' turns.
inline double ThreadSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) { return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchClock
