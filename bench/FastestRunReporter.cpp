// Keeping each benchmark's fastest repetition while the console shows every run.
#include "FastestRunReporter.h"

namespace velmo_bench {

void FastestRunReporter::ReportRuns(const std::vector<Run>& runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
            continue;
        const double total = _clock == Clock::wall ? run.real_accumulated_time : run.cpu_accumulated_time;
        const double seconds = total / static_cast<double>(run.iterations);
        const std::string name = run.run_name.function_name;
        const auto found = _fastest.find(name);
        if (found == _fastest.end() || seconds < found->second.seconds)
            _fastest[name] = Fastest{seconds, run.counters};
    }
}

double FastestRunReporter::counter(const std::string& name, const std::string& counter) const
{
    const benchmark::UserCounters& counters = _fastest.at(name).counters;
    const auto found = counters.find(counter);
    return found == counters.end() ? 0.0 : found->second.value;
}

} // namespace velmo_bench
