// Copying files between the local disk and a local vsftpd: through the module (FTP_File_Open,
// FTP_Passthru, FTP_File_Close on a connection that stays logged on, image type; its file
// transfers announce their data connections with PORT, passive mode being for listings),
// through a bare client that moves one 2048-byte block per recv and write (or read and
// send) with PASV or PORT, and through curl (one process per run; its own transfer time).
// One file of 1 MiB or 256 MiB each way, and 200 files of 4 KiB fetched on one connection.
//
// Each benchmark lets every client take its turn in every round, so that the load of a
// shared machine falls on all of them alike; its counters (described at CopiesInTurn and
// BM_SmallFilesInTurn) are per client. Processor times are this process's (getrusage), the
// server's excluded.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bare_client.h"
#include "bench/bench_host.h"
#include "bench/bench_run.h"
#include "bench/curl_listing.h"
#include "bench/curl_transfer.h"
#include "platform/posix/hooks.h"
#include "tests/support/temp_folder.h"
#include "transfer/remote_file_handle.h"

using namespace tvbench;

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kSmallFiles = 200;
constexpr int kSmallFileSize = 4096;
const char* const kSmallFolder = "small-files";



// The benchmarks' local files, removed at the end of the run.
const tvtest::TempFolder& LocalFolder() {
    static tvtest::TempFolder folder;
    return folder;
}

// `bytes` seeded pseudo-random bytes: binary to the module's sample from the first block on,
// and nothing a transfer could compress.
void WriteRandomFile(const std::string& path, int64_t bytes, uint64_t seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::vector<uint64_t> block(8192);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (int64_t left = bytes; left > 0;) {
        for (uint64_t& word : block) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            word = state;
        }
        const size_t piece = static_cast<size_t>(std::min<int64_t>(left, int64_t(block.size() * 8)));
        std::fwrite(block.data(), 1, piece, file);
        left -= static_cast<int64_t>(piece);
    }
    std::fclose(file);
}

int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<int64_t>(size);
}

// The remote file of `mib` MiB ("transfer-NNNM.bin" at the top of the server's tree) and the
// local file of the same size that uploads send, both made on first use.
std::string RemoteFileOf(tvtest::RealServer& server, int mib) {
    // Names of one length, so that the remote file record's copy of the path is the same
    // size for every file.
    char name[32];
    std::snprintf(name, sizeof name, "transfer-%03dM.bin", mib);
    const std::string local = server.LocalPath(std::string("/") + name);
    if (FileSize(local) != int64_t(mib) * (1 << 20)) WriteRandomFile(local, int64_t(mib) << 20, mib);
    return name;
}

std::string UploadSourceOf(int mib) {
    const std::string path = LocalFolder() / ("source-" + std::to_string(mib) + "M.bin");
    if (FileSize(path) != int64_t(mib) * (1 << 20)) WriteRandomFile(path, int64_t(mib) << 20, mib + 1000);
    return path;
}

// The folder of kSmallFiles files of kSmallFileSize bytes ("small-files/file-000.bin"...),
// made on first use; the remote paths of its files.
std::vector<std::string> SmallFilesOf(tvtest::RealServer& server) {
    const std::string folder = server.LocalPath(std::string("/") + kSmallFolder);
    std::filesystem::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < kSmallFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%03d.bin", i);
        const std::string local = folder + "/" + name;
        if (FileSize(local) != kSmallFileSize) WriteRandomFile(local, kSmallFileSize, 5000 + i);
        paths.push_back(std::string(kSmallFolder) + "/" + name);
    }
    return paths;
}

// Where a copy of `remotePath` goes on the local disk.
std::string LocalTarget(const std::string& remotePath, const char* who) {
    return LocalFolder() / (std::string(who) + "-" + std::filesystem::path(remotePath).filename().string());
}

double ProcessCpuSeconds(double* systemSeconds) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double system = double(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
    if (systemSeconds != nullptr) *systemSeconds = system;
    return double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6 + system;
}

// The host's copy callback: every total and every turn is taken, and the copy goes on.
LONG CALLBACK GoOn(DWORD, LONG, LONG, LONG) { return 0; }

// A state record as the host keeps one, logged on while the object lives and locked for as
// long as the host copies through it: its system detected (UNIX), data connections of file
// transfers announced with PORT (the module's file transfers always use the PORT step; its
// passive mode is for listings).
class CopyingHost {
public:
    explicit CopyingHost(tvtest::RealServer& server) : handle_(GlobalAlloc(GHND, sizeof(FsStateRecord))) {
        const std::string& hostName = server.Host();
        HGLOBAL name = GlobalAlloc(GHND, hostName.size() + 1);
        std::memcpy(GlobalLock(name), hostName.c_str(), hostName.size() + 1);
        GlobalUnlock(name);
        record_ = static_cast<FsStateRecord*>(GlobalLock(handle_));
        record_->hostName = name;
        record_->hostType = HOST_AUTOMATIC;
        OpenParameters parameters{};
        parameters.accountHostType = HOST_UNIX;
        parameters.openFlags = OPEN_PARSE_DIRECTORIES | OPEN_SEND_PORT;
        parameters.port = server.Port();
        char user[LOGON_TEXT_SIZE] = {};
        char password[LOGON_TEXT_SIZE] = {};
        std::strncpy(user, server.User().c_str(), LOGON_TEXT_SIZE - 1);
        std::strncpy(password, server.Password().c_str(), LOGON_TEXT_SIZE - 1);
        opened_ = xfsopen(handle_, 0, user, password, nullptr, &parameters);
        local_.fsKind = FS_KIND_LOCAL;
        context_->cookie = 0;
        context_->progress = GoOn;
    }
    ~CopyingHost() {
        FTP_FS_Close(record_);
        GlobalFree(record_->hostName);
        GlobalUnlock(handle_);
        GlobalFree(handle_);
    }
    CopyingHost(const CopyingHost&) = delete;
    CopyingHost& operator=(const CopyingHost&) = delete;

    // Why the host cannot copy, or "".
    std::string Unusable() const {
        if (opened_ != 0) return "xfsopen failed: " + std::to_string(opened_);
        if ((record_->connection->stateFlags & STATE_SEND_PORT) == 0) return "the connection does not send PORT";
        return "";
    }

    // One copy as a host makes it: the remote file opened (read mode to fetch it, write mode
    // to store it), FTP_Passthru between it and the local file, the remote file closed. 0, or
    // the first FsError.
    LONG Copy(const std::string& remotePath, HFILE localFile, bool download) {
        HostLocalFile local{};
        local.file = localFile;
        HostHandleBlock localBlock{0, &local};
        HostHandleBlock remote{};
        const LONG opened = FTP_File_Open(&remote, remotePath.c_str(), record_,
                                          download ? FILE_MODE_READ : FILE_MODE_WRITE, 0);
        if (opened < 0) return opened;
        context_->source = download ? record_ : &local_;
        context_->destination = download ? &local_ : record_;
        context_->total = 0;
        const LONG copied = download ? FTP_Passthru(&remote, &localBlock, context_.get())
                                     : FTP_Passthru(&localBlock, &remote, context_.get());
        const LONG closed = FTP_File_Close(&remote);
        return copied < 0 ? copied : closed;
    }

private:
    HGLOBAL handle_;
    FsStateRecord* record_ = nullptr;
    LONG opened_ = 0;
    FsStateRecord local_{};
    std::unique_ptr<CopyContext> context_ = std::make_unique<CopyContext>();
};

// ---------------------------------------------------------------------------------------
// Many small files on one connection
// ---------------------------------------------------------------------------------------

// Rounds of the small-file benchmark per repetition: each client fetches the 200 files once
// a round.
constexpr int kSmallFileRounds = 3;

// A short data connection leaves a socket in TIME-WAIT for a minute (on the server's side
// of a download). Thousands of them distort a run of many small files: in PORT mode every
// bind and connect of an ephemeral port searches longer (processor time of the client and
// the server), and curl's passive transfers wait a whole second of their own before the
// data connection far more often (its stalls counter). The small-file benchmark therefore
// starts only when the machine has fewer than this many (waiting up to 65 s), and runs a
// fixed number of times.
constexpr int kQuietTimeWaits = 3000;

// The machine's TCP sockets in TIME-WAIT (state 06 in /proc/net/tcp and tcp6).
int TimeWaitSockets() {
    int count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream lines(table);
        std::string line;
        std::getline(lines, line);  // the heading
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            if (fields >> slot >> local >> remote >> state && state == "06") ++count;
        }
    }
    return count;
}

// Waits until fewer than kQuietTimeWaits sockets are in TIME-WAIT, at most 65 s; the
// counter time_waits says how many there were when the benchmark started.
void AwaitQuietPorts(benchmark::State& state) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(65);
    int count;
    while ((count = TimeWaitSockets()) >= kQuietTimeWaits && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    state.counters["time_waits"] = count;
}

// Fetches every small file through the module on `host`: "" or what failed.
std::string ModuleGetsSmallFiles(CopyingHost& host, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const HFILE local = _lcreat(LocalTarget(path, "module").c_str(), 0);
        const LONG copied = host.Copy(path, local, true);
        _lclose(local);
        if (copied != 0) return "module, copy of " + path + ": " + std::to_string(copied);
    }
    return "";
}

// Fetches every small file through the bare client: "" or what failed.
std::string BareGetsSmallFiles(BareClient& client, const std::vector<std::string>& paths,
                               DataMode mode) {
    for (const std::string& path : paths) {
        const int local = open(LocalTarget(path, "bare").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int64_t moved = client.Download(path, local, mode);
        close(local);
        if (moved != kSmallFileSize) return "bare client: " + client.lastReply();
    }
    return "";
}

// The 200 files on one connection, fetched by every client in turn in each round, so that
// all of them meet the same load of a shared machine; the round after starts with the next
// client, so that none always comes first. The iteration's own time is the whole round;
// the counters are each client's milliseconds for the 200 files, the mean of the rounds:
//   module_ms          the module on a connection logged on before (one FTP_File_Open,
//                      FTP_Passthru and FTP_File_Close a file; PORT); module_cpu_ms its
//                      processor time
//   module_logon_ms    the same with xfsopen before and FTP_FS_Close after
//   bare_pasv_ms, bare_port_ms  the bare client, logged on before, PASV or PORT
//   curl_pasv_ms, curl_port_ms  one curl process with every address and its -o on one
//                      command line (passive, or -P for PORT), start and logon included;
//   curl_..._files_ms  the same by curl's own timers, the files after the logon
//                      (CurlRun::afterLogonSeconds); curl_pasv_unstalled_ms what that would
//                      have been without curl's one-second stalls, curl_pasv_stalls how
//                      many there were.
void BM_SmallFilesInTurn(benchmark::State& state) {
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    if (CurlPath().empty()) return state.SkipWithError("curl is not installed");
    const std::vector<std::string> paths = SmallFilesOf(*server);
    std::vector<std::pair<std::string, std::string>> curlFiles;
    for (const std::string& path : paths) {
        curlFiles.emplace_back(CurlAddress(server->Host(), server->Port(), server->User(), server->Password(), path),
                               LocalTarget(path, "curl"));
    }
    const std::vector<std::string> curlPort = {"-P", server->Host()};
    AwaitQuietPorts(state);
    CopyingHost host(*server);
    if (const std::string why = host.Unusable(); !why.empty()) return state.SkipWithError(why.c_str());
    BareClient bare(server->Host(), server->Port(), server->User(), server->Password());
    if (!bare.ok()) return state.SkipWithError(("bare client: " + bare.lastReply()).c_str());

    std::map<std::string, double> sums;
    // Runs one client's turn in this process: its real time is added to the counter `name`,
    // its processor time to `cpuName` when one is given.
    auto timed = [&](const char* name, const char* cpuName, auto&& work) {
        const auto started = std::chrono::steady_clock::now();
        const double cpuAtStart = ProcessCpuSeconds(nullptr);
        const std::string failure = work();
        sums[name] += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        if (cpuName != nullptr) sums[cpuName] += (ProcessCpuSeconds(nullptr) - cpuAtStart) * 1000;
        return failure;
    };
    auto curl = [&](const std::string& mode, const std::vector<std::string>& options) {
        CurlRun run;
        if (!CurlDownloads(curlFiles, options, &run)) return "curl " + mode + " failed";
        sums["curl_" + mode + "_ms"] += run.wallSeconds * 1000;
        sums["curl_" + mode + "_files_ms"] += run.afterLogonSeconds * 1000;
        if (mode == "pasv") {
            sums["curl_pasv_unstalled_ms"] += run.unstalledSeconds * 1000;
            sums["curl_pasv_stalls"] += run.stalls;
        }
        return std::string();
    };
    const std::vector<std::function<std::string()>> turns = {
        [&] { return timed("module_ms", "module_cpu_ms", [&] { return ModuleGetsSmallFiles(host, paths); }); },
        [&] {
            return timed("module_logon_ms", nullptr, [&] {
                CopyingHost fresh(*server);
                const std::string why = fresh.Unusable();
                return why.empty() ? ModuleGetsSmallFiles(fresh, paths) : why;
            });
        },
        [&] { return timed("bare_pasv_ms", nullptr, [&] { return BareGetsSmallFiles(bare, paths, DataMode::Passive); }); },
        [&] { return timed("bare_port_ms", nullptr, [&] { return BareGetsSmallFiles(bare, paths, DataMode::Active); }); },
        [&] { return curl("pasv", {}); },
        [&] { return curl("port", curlPort); },
    };
    if (!RunInTurns(state, turns)) return;
    for (const auto& [name, sum] : sums) state.counters[name] = sum / double(state.iterations());
}
BENCHMARK(BM_SmallFilesInTurn)->Iterations(kSmallFileRounds)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------------------------------
// One file each way
// ---------------------------------------------------------------------------------------

// Rounds per repetition: in each, every client copies the file once. Copies of 1 MiB run
// many rounds; they are still few enough that their data connections leave no crowd of
// TIME-WAIT sockets behind (see kQuietTimeWaits).
constexpr int kRoundsOf1MiB = 50;
constexpr int kRoundsOf256MiB = 8;

// The files of one client's copy: who copies (a prefix of the local and uploaded names),
// which way, and how much.
struct OneFile {
    OneFile(tvtest::RealServer& server, int mib, bool download, const char* who)
        : bytes(int64_t(mib) << 20) {
        const std::string remoteFile = RemoteFileOf(server, mib);
        remotePath = download ? remoteFile : "upload/" + std::string(who) + "-" + remoteFile;
        if (!download) source = UploadSourceOf(mib);
        // Where the copy lands: the local file of a download, the server's file of an upload.
        arrivesAt = download ? LocalTarget(remoteFile, who) : server.LocalPath("/" + remotePath);
    }
    // "" when the whole file arrived, else what went wrong; what arrived is removed for the
    // next copy.
    std::string TakeArrived(const std::string& who) const {
        const int64_t arrived = FileSize(arrivesAt);
        std::remove(arrivesAt.c_str());
        if (arrived == bytes) return "";
        return who + ": " + std::to_string(arrived) + " bytes arrived";
    }

    int64_t bytes;
    std::string remotePath;  // what the client asks the server for or stores
    std::string source;      // the local file an upload sends
    std::string arrivesAt;
};

// One client's copies over the rounds.
struct Tally {
    double seconds = 0;  // real time (curl: its own time_total - time_pretransfer)
    double cpu = 0;      // processor time, user and system
    double system = 0;   // its system part (not known for curl)
    int64_t bytes = 0;
};

// Runs `work` (which answers "" or what failed), adding its real and processor time to
// `tally`.
template <typename Work>
std::string Measure(Tally& tally, int64_t bytes, Work&& work) {
    double systemAtStart = 0;
    const double cpuAtStart = ProcessCpuSeconds(&systemAtStart);
    const auto started = std::chrono::steady_clock::now();
    const std::string failure = work();
    tally.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double system = 0;
    tally.cpu += ProcessCpuSeconds(&system) - cpuAtStart;
    tally.system += system - systemAtStart;
    tally.bytes += bytes;
    return failure;
}

// A file of `mib` MiB copied by every client in turn in each round (the round after starts
// with the next client), so that all of them meet the same load of a shared machine. The
// counters, for each client (module; bare_pasv and bare_port, the bare loop with PASV or
// PORT; curl, one process per copy):
//   ..._MiB_per_s       MiB per second of real time (curl: of its own time_total -
//                       time_pretransfer);
//   ..._cpu_ms_per_MiB  processor time of this process per MiB (curl: of its whole
//                       process, start and logon included), ..._sys_ms_per_MiB the system
//                       part of it;
//   module_peak_bytes, module_left_bytes  global memory blocks alive at once during one
//                       copy beyond those before it, and left after it.
// The times cover the local file's open and close, the commands, the data and the
// completion reply; the iteration's own time is the whole round.
void CopiesInTurn(benchmark::State& state, bool download, int mib) {
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    if (CurlPath().empty()) return state.SkipWithError("curl is not installed");
    const OneFile moduleFile(*server, mib, download, "module");
    const OneFile bareFile(*server, mib, download, "bare");
    const OneFile curlFile(*server, mib, download, "curl");
    const std::string curlAddress =
        CurlAddress(server->Host(), server->Port(), server->User(), server->Password(), curlFile.remotePath);
    CopyingHost host(*server);
    if (const std::string why = host.Unusable(); !why.empty()) return state.SkipWithError(why.c_str());
    BareClient bare(server->Host(), server->Port(), server->User(), server->Password());
    if (!bare.ok()) return state.SkipWithError(("bare client: " + bare.lastReply()).c_str());

    std::map<std::string, Tally> tallies;
    double peakBytes = 0, leftBytes = 0;
    auto module = [&] {
        TvGlobalMemoryUsage before{}, after{};
        LONG copied = 0;
        const std::string failure = Measure(tallies["module"], moduleFile.bytes, [&] {
            TvQueryGlobalMemory(&before, TRUE);
            const HFILE local = download ? _lcreat(moduleFile.arrivesAt.c_str(), 0)
                                         : _lopen(moduleFile.source.c_str(), OF_READ);
            copied = host.Copy(moduleFile.remotePath, local, download);
            _lclose(local);
            TvQueryGlobalMemory(&after, FALSE);
            return copied == 0 ? std::string() : "module: copy " + std::to_string(copied);
        });
        peakBytes = std::max(peakBytes, double(after.peakBytes - before.liveBytes));
        leftBytes = std::max(leftBytes, double(after.liveBytes) - double(before.liveBytes));
        return failure.empty() ? moduleFile.TakeArrived("module") : failure;
    };
    auto bareLoop = [&](const char* name, DataMode mode) {
        const std::string failure = Measure(tallies[name], bareFile.bytes, [&] {
            const int local = download ? open(bareFile.arrivesAt.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                                       : open(bareFile.source.c_str(), O_RDONLY | O_CLOEXEC);
            const int64_t moved = download ? bare.Download(bareFile.remotePath, local, mode)
                                           : bare.Upload(local, bareFile.remotePath, mode);
            close(local);
            return moved == bareFile.bytes ? std::string() : std::string(name) + ": " + bare.lastReply();
        });
        return failure.empty() ? bareFile.TakeArrived(name) : failure;
    };
    auto curl = [&] {
        CurlRun run;
        const bool ran = download ? CurlDownloads({{curlAddress, curlFile.arrivesAt}}, {}, &run)
                                  : CurlUpload(curlFile.source, curlAddress, &run);
        Tally& tally = tallies["curl"];
        tally.seconds += run.transferSeconds;
        tally.cpu += run.cpuSeconds;
        tally.bytes += curlFile.bytes;
        return ran ? curlFile.TakeArrived("curl") : std::string("curl failed");
    };
    const std::vector<std::function<std::string()>> turns = {
        module,
        [&] { return bareLoop("bare_pasv", DataMode::Passive); },
        [&] { return bareLoop("bare_port", DataMode::Active); },
        curl,
    };
    if (!RunInTurns(state, turns)) return;
    for (const auto& [name, tally] : tallies) {
        const double mibs = double(tally.bytes) / kMiB;
        state.counters[name + "_MiB_per_s"] = mibs / tally.seconds;
        state.counters[name + "_cpu_ms_per_MiB"] = tally.cpu * 1000 / mibs;
        if (name != "curl") state.counters[name + "_sys_ms_per_MiB"] = tally.system * 1000 / mibs;
    }
    state.counters["module_peak_bytes"] = peakBytes;
    state.counters["module_left_bytes"] = leftBytes;
}

// BM_DownloadInTurn/1MiB, /256MiB, then BM_UploadInTurn.
int RegisterCopiesInTurn() {
    for (const bool download : {true, false}) {
        for (const int mib : {1, 256}) {
            const std::string name = std::string(download ? "BM_DownloadInTurn/" : "BM_UploadInTurn/") +
                                     std::to_string(mib) + "MiB";
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) { CopiesInTurn(s, download, mib); })
                ->Iterations(mib == 1 ? kRoundsOf1MiB : kRoundsOf256MiB)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return 0;
}
const int kCopiesInTurn = RegisterCopiesInTurn();

}  // namespace
