#pragma once
// Shared bits of the benchmarks: the input file named by an environment variable, and peak memory.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace bench {

// The path in the environment variable, or empty (the benchmark then skips itself).
inline std::string inputPath(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? std::string(value) : std::string();
}

// Peak resident memory of the process so far, in MiB.
inline double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace bench
