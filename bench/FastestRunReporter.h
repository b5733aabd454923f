// A console reporter that also keeps each benchmark's fastest repetition, for the ratios a
// benchmark program prints after its runs.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace velmo_bench {

// Prints every run as Google Benchmark's console reporter does and keeps, per benchmark (its
// function name), the repetition with the least time per iteration on the chosen clock: the one
// least disturbed by other processes sharing the machine.
class FastestRunReporter : public benchmark::ConsoleReporter {
public:
    // Wall time for benchmarks that spread work over threads; CPU time for single-threaded ones,
    // where it is the benchmark's own work.
    enum class Clock { wall, cpu };

    explicit FastestRunReporter(Clock clock) : _clock(clock) {}

    void ReportRuns(const std::vector<Run>& runs) override;

    bool has(const std::string& name) const { return _fastest.count(name) != 0; }
    // Seconds per iteration of the fastest repetition, on the chosen clock.
    double seconds(const std::string& name) const { return _fastest.at(name).seconds; }
    // The value of the fastest repetition's user counter `counter`; 0 where it has none.
    double counter(const std::string& name, const std::string& counter) const;

private:
    struct Fastest {
        double seconds;
        benchmark::UserCounters counters;
    };

    Clock _clock;
    std::map<std::string, Fastest> _fastest;
};

} // namespace velmo_bench
