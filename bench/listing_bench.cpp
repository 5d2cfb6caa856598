// Listing a directory of 1,000 and of 10,000 files from a local vsftpd: through the
// module's exports on a connection that stays logged on, through the exports with a logon
// and a close around each listing, and, as the yardstick, with curl (one process per
// listing, logon included; its counter transfer_ms is the listing alone, from the moment it
// was ready to set up the data connection). Wall-clock times; the server runs beside on the
// same machine.
//
// The module's counters: peak_bytes, the most bytes of global memory blocks alive at once
// during one listing beyond what was alive before it (the module's records and buffers and
// the entries of the read the host has not freed yet). In LIST mode it must not grow with
// the directory. left_bytes, what a listing left alive (0: nothing leaks).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench/bench_host.h"
#include "bench/bench_run.h"
#include "bench/curl_listing.h"
#include "platform/posix/hooks.h"

using namespace tvbench;

namespace {



// Lists `folder` once for the state's iteration, with the memory counters.
bool ListOnce(benchmark::State& state, HGLOBAL record, const std::string& folder, int entries,
              double* peakBytes, double* leftBytes) {
    TvGlobalMemoryUsage before{};
    TvQueryGlobalMemory(&before, TRUE);
    const LONG listed = ListDirectory(record, folder);
    TvGlobalMemoryUsage after{};
    TvQueryGlobalMemory(&after, FALSE);
    if (listed != entries) {
        state.SkipWithError(("listed " + std::to_string(listed) + " entries").c_str());
        return false;
    }
    *peakBytes = std::max(*peakBytes, static_cast<double>(after.peakBytes - before.liveBytes));
    *leftBytes = std::max(*leftBytes, static_cast<double>(after.liveBytes) - static_cast<double>(before.liveBytes));
    return true;
}

void BM_ModuleListsDirectory(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    const std::string folder = FolderOf(*server, entries);
    LoggedOnHost host(*server);
    if (host.opened() != 0) return state.SkipWithError("xfsopen failed");
    if ((host.connection()->stateFlags & STATE_PASSIVE_MODE) == 0) {
        return state.SkipWithError("the connection is not in passive mode, as curl is");
    }
    double peakBytes = 0;
    double leftBytes = 0;
    for (auto _ : state) {
        if (!ListOnce(state, host.record(), folder, entries, &peakBytes, &leftBytes)) break;
    }
    state.counters["entries"] = entries;
    state.counters["peak_bytes"] = peakBytes;
    state.counters["left_bytes"] = leftBytes;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * entries);
}
BENCHMARK(BM_ModuleListsDirectory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ModuleLogsOnAndListsDirectory(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    const std::string folder = FolderOf(*server, entries);
    double peakBytes = 0;
    double leftBytes = 0;
    for (auto _ : state) {
        LoggedOnHost host(*server);
        if (host.opened() != 0) {
            state.SkipWithError("xfsopen failed");
            break;
        }
        if (!ListOnce(state, host.record(), folder, entries, &peakBytes, &leftBytes)) break;
    }
    state.counters["entries"] = entries;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * entries);
}
BENCHMARK(BM_ModuleLogsOnAndListsDirectory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlListsDirectory(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (CurlPath().empty()) return state.SkipWithError("curl is not installed");
    const std::string folder = FolderOf(*server, entries);
    double transferSeconds = 0;
    for (auto _ : state) {
        double seconds = 0;
        if (!CurlListsDirectory(server->Host(), server->Port(), server->User(), server->Password(),
                                folder, &seconds)) {
            state.SkipWithError("curl failed");
            break;
        }
        transferSeconds += seconds;
    }
    state.counters["entries"] = entries;
    // The listing alone, to set beside BM_ModuleListsDirectory.
    state.counters["transfer_ms"] = benchmark::Counter(transferSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * entries);
}
BENCHMARK(BM_CurlListsDirectory)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
