// Two ways of doing the same work, timed in turns: whatever else a shared
// machine does meanwhile falls on both alike, and each side is reported as
// its median, the time of one run, for bench/run to put side by side.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace kelvor::bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// For a benchmark registered with UseManualTime() and Iterations(1).
inline void reportMedian(benchmark::State& state, const std::vector<double>& seconds) {
    for (auto _ : state)
        state.SetIterationTime(median(seconds));
}

} // namespace kelvor::bench
