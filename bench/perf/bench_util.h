#pragma once

// Small helpers shared by the benchmark programs: a monotonic clock that is the same in every
// process of the machine, and the summary of many noisy samples.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace velmo::bench {

// CLOCK_MONOTONIC in nanoseconds; comparable between a parent and the children it starts.
inline std::int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

inline double Quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const double position = q * static_cast<double>(samples.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, samples.size() - 1);
    const double weight = position - static_cast<double>(below);
    return samples[below] * (1.0 - weight) + samples[above] * weight;
}

inline double Median(const std::vector<double>& samples) {
    return Quantile(samples, 0.5);
}

// "median (p10 .. p90)" of the samples.
inline std::string Spread(const std::vector<double>& samples, const char* format = "%.3f") {
    char buffer[160];
    std::string f = std::string(format) + " (" + format + " .. " + format + ")";
    std::snprintf(buffer, sizeof buffer, f.c_str(), Median(samples), Quantile(samples, 0.1),
                  Quantile(samples, 0.9));
    return buffer;
}

// The median of the per-round ratios a[i] / b[i]: each round measured both side by side, so the
// ratio cancels most of what the other programs on the machine do to both.
inline double MedianRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0.0)
            ratios.push_back(a[i] / b[i]);
    return Median(ratios);
}

// The positive integer in argument `index` of the command line, or `fallback`.
inline int CountArgument(int argc, char** argv, int index, int fallback) {
    if (argc <= index)
        return fallback;
    const int value = std::atoi(argv[index]);
    return value > 0 ? value : fallback;
}

} // namespace velmo::bench
