// The listing of 1,000 and of 10,000 files by the module, by curl and by the bare client in
// turn: each round the module lists the folder on its connection that stays logged on (as
// BM_ModuleListsDirectory does), curl lists it in a process of its own (as
// BM_CurlListsDirectory does) and the bare client, logged on too, fetches the same LIST and
// throws it away, the round after starting with the next of them, so that the load of a
// shared machine falls on all alike and their ratio holds still where benchmarks of their
// own drift apart. Counters, the mean of the rounds:
//   module_ms, module_cpu_ms  the module's listing alone: real time and this process's
//                             processor time (getrusage);
//   curl_transfer_ms          curl's own time_total - time_pretransfer: from the server's
//                             answer to LIST (its CWD, EPSV, TYPE A and LIST come before) to
//                             the completion reply;
//   bare_ms                   PASV, LIST with the folder, the data, the completion reply:
//                             the module's exchange without the parsing;
//   module_to_curl            module_ms / curl_transfer_ms.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <string>

#include "bench/bare_client.h"
#include "bench/bench_host.h"
#include "bench/bench_run.h"
#include "bench/curl_listing.h"

using namespace tvbench;

namespace {

// Rounds per repetition, by the size of the folder.
constexpr int kRoundsOf1000 = 100;
constexpr int kRoundsOf10000 = 40;


double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_ListingInTurn(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    std::string whyNot;
    tvtest::RealServer* server = ListingServer(&whyNot);
    if (server == nullptr) return state.SkipWithError(("vsftpd: " + whyNot).c_str());
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    if (CurlPath().empty()) return state.SkipWithError("curl is not installed");
    const std::string folder = FolderOf(*server, entries);
    LoggedOnHost host(*server);
    if (host.opened() != 0) return state.SkipWithError("xfsopen failed");
    if ((host.connection()->stateFlags & STATE_PASSIVE_MODE) == 0) {
        return state.SkipWithError("the connection is not in passive mode, as curl is");
    }
    BareClient bare(server->Host(), server->Port(), server->User(), server->Password());
    if (!bare.ok()) return state.SkipWithError(("bare client: " + bare.lastReply()).c_str());
    double moduleSeconds = 0, moduleCpu = 0, curlSeconds = 0, bareSeconds = 0;
    int first = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < 3; ++turn) {
            const int who = (first + turn) % 3;
            if (who == 0) {
                const double cpuAtStart = ProcessCpuSeconds();
                const auto started = std::chrono::steady_clock::now();
                const LONG listed = ListDirectory(host.record(), folder);
                moduleSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                moduleCpu += ProcessCpuSeconds() - cpuAtStart;
                if (listed != entries) {
                    return state.SkipWithError(("listed " + std::to_string(listed) + " entries").c_str());
                }
            } else if (who == 1) {
                double seconds = 0;
                if (!CurlListsDirectory(server->Host(), server->Port(), server->User(),
                                        server->Password(), folder, &seconds)) {
                    return state.SkipWithError("curl failed");
                }
                curlSeconds += seconds;
            } else {
                const auto started = std::chrono::steady_clock::now();
                if (bare.List(folder) <= 0) return state.SkipWithError(("bare client: " + bare.lastReply()).c_str());
                bareSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            }
        }
        first = (first + 1) % 3;
    }
    const double rounds = double(state.iterations());
    state.counters["entries"] = entries;
    state.counters["module_ms"] = moduleSeconds * 1000 / rounds;
    state.counters["module_cpu_ms"] = moduleCpu * 1000 / rounds;
    state.counters["curl_transfer_ms"] = curlSeconds * 1000 / rounds;
    state.counters["bare_ms"] = bareSeconds * 1000 / rounds;
    state.counters["module_to_curl"] = moduleSeconds / curlSeconds;
}
BENCHMARK(BM_ListingInTurn)->Arg(1000)->Iterations(kRoundsOf1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListingInTurn)->Arg(10000)->Iterations(kRoundsOf10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
