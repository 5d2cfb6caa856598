// The processor time the calling thread has used, to show that a wait does not spin.
#pragma once

#include <time.h>

namespace tvtest {

inline double ThreadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace tvtest
