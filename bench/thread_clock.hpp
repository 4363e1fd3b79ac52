// Processor time of the calling thread, for the benchmarks: other work on a shared machine does
// not count.
#pragma once

#include <ctime>

namespace pipenet::bench {

struct Clock {
    static double now() {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) + 1.0e-9 * static_cast<double>(time.tv_nsec);
    }
};

inline double since(double start) {
    return Clock::now() - start;
}

} // namespace pipenet::bench
