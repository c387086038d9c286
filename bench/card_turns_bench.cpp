// The card ports' turns under many random schedules of PC tools (the
// simulator of tests/ledout/CardTurnsSchedule.h, on PcRequestSlot alone, in
// simulated ticks): for each kind of request, how many went, the longest
// wait and the largest share of its bound any took, over every seed; then
// the seeds whose schedules broke a bound, with what broke.
//
//   ./build/bench/card_turns_bench [first seed, default 1] [seeds, default 200] [ticks per seed, default 20000]
//
// KEL_BENCH_SILENT_ONCE=percent: how often the card a one-shot socket asks stays silent (5).
// KEL_BENCH_TRACE=1 prints each schedule's asks, sends, drops and leaves on standard error.
#include "../tests/ledout/CardTurnsSchedule.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace kel::turns;

int main(int argc, char** argv)
{
    const uint32_t first = argc > 1 ? uint32_t(std::atol(argv[1])) : 1;
    const uint32_t seeds = argc > 2 ? uint32_t(std::atol(argv[2])) : 200;
    const uint32_t ticks = argc > 3 ? uint32_t(std::atol(argv[3])) : 20000;
    const char* silent = std::getenv("KEL_BENCH_SILENT_ONCE");
    const double silentOnce = silent ? std::atof(silent) / 100 : 0.05;
    const bool trace = std::getenv("KEL_BENCH_TRACE") != nullptr;
    const auto start = std::chrono::steady_clock::now();
    Figures all;
    std::vector<uint32_t> broken;
    for (uint32_t seed = first; seed < first + seeds; ++seed) {
        const Figures f = Schedule(seed, ticks, trace, silentOnce).run();
        for (int k = 0; k < kKinds; ++k) {
            all.requests[k] += f.requests[k];
            all.worstWait[k] = std::max(all.worstWait[k], f.worstWait[k]);
            all.worstShare[k] = std::max(all.worstShare[k], f.worstShare[k]);
        }
        all.tools += f.tools;
        all.dropped += f.dropped;
        all.late += f.late;
        all.yielded += f.yielded;
        all.replaced += f.replaced;
        all.reused += f.reused;
        if (!f.faults.empty()) {
            broken.push_back(seed);
            std::printf("seed %u: %zu faults, the first: %s\n", seed, f.faults.size(), f.faults.front().c_str());
        }
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seeds %u-%u, %u ticks each, one-shot cards silent %.0f %% (%.0f s); %llu tools (%llu on a port "
                "number given back), %llu requests of ended tools dropped, %llu of tools that ended or flood yielded (%llu of them "
                "replaced), %llu late answers taken\n",
                first, first + seeds - 1, ticks, silentOnce * 100, secs, (unsigned long long)all.tools,
                (unsigned long long)all.reused, (unsigned long long)all.dropped, (unsigned long long)all.yielded, (unsigned long long)all.replaced,
                (unsigned long long)all.late);
    std::printf("%-12s %10s %12s %14s\n", "kind", "requests", "worst wait", "worst / bound");
    for (int k = 0; k < kKinds; ++k)
        std::printf("%-12s %10llu %8llu ticks %13.2f\n", kindName(k), (unsigned long long)all.requests[k],
                    (unsigned long long)all.worstWait[k], all.worstShare[k]);
    std::printf("seeds that broke a check: %zu\n", broken.size());
    return broken.empty() ? 0 : 1;
}
