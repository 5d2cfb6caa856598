// What every benchmark of a real server shares: the module attached for the whole run, the
// server or the reason the benchmark is skipped, and clients that take turns each round.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/bench_host.h"

namespace tvbench {

// The module stays attached for the whole run, as a loaded library stays loaded.
inline bool ModuleAttached() {
    static AttachedModule module;
    return module.attached();
}

inline tvtest::RealServer* ServerOrSkip(benchmark::State& state) {
    std::string whyNot;
    tvtest::RealServer* server = ListingServer(&whyNot);
    if (server == nullptr) state.SkipWithError(("vsftpd: " + whyNot).c_str());
    return server;
}

// Each iteration runs every turn once, starting one turn later than the iteration before,
// so that a shared machine's load falls on every client alike. A turn answers "" or why it
// failed; the first failure skips the benchmark and gives false.
inline bool RunInTurns(benchmark::State& state,
                       const std::vector<std::function<std::string()>>& turns) {
    size_t first = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < turns.size(); ++i) {
            if (const std::string failure = turns[(first + i) % turns.size()](); !failure.empty()) {
                state.SkipWithError(failure.c_str());
                return false;
            }
        }
        ++first;
    }
    return true;
}

}  // namespace tvbench
