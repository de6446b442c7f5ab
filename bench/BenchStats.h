// The summary every benchmark prints of its repeated timings:
// `name: min=… median=… p99=… ms`.
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

struct Stats {
    double min, median, p99;
};

inline Stats Summary(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const size_t p99 = std::min(ms.size() - 1, size_t(ms.size() * 0.99));
    return {ms.front(), ms[ms.size() / 2], ms[p99]};
}

inline double Median(const std::vector<double> &ms)
{
    return Summary(ms).median;
}

inline void Report(const char *name, const std::vector<double> &ms)
{
    const Stats stats = Summary(ms);
    std::printf("%s: min=%.3f median=%.3f p99=%.3f ms\n", name, stats.min, stats.median, stats.p99);
}
