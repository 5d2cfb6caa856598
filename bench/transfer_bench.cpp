// Copying files between the local disk and a local vsftpd: through the module (FTP_File_Open,
// FTP_Passthru, FTP_File_Close on a connection that stays logged on, image type; its file
// transfers announce their data connections with PORT, passive mode being for listings),
// through a bare client that moves one 2048-byte block per recv and write (or read and
// send) with PASV or PORT, and through curl (one process per run; its own transfer time).
// One file of 1 MiB or 256 MiB each way, and 200 files of 4 KiB fetched on one connection.
//
// Counters of the module and the bare loop, over the timed part of every iteration (the
// local file's open and close, the commands, the data, the completion reply):
//   MiB_per_s       bytes moved per second of real time;
//   cpu_ms_per_MiB  this process's processor time (getrusage: user and system) per MiB,
//                   the server's excluded; sys_ms_per_MiB the system part of it.
// The module's also: peak_bytes, the most bytes of global memory blocks alive at once during
// one copy beyond what was alive before it (the remote file record, its path, the scratch
// blocks of the commands): the same for every size of file; left_bytes, what a copy left
// alive (0: nothing leaks).
// curl's: MiB_per_s from its own time_total - time_pretransfer (transfer_ms), and
// cpu_ms_per_MiB of its whole process, start and logon included.
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

bool ModuleAttached() {
    static AttachedModule module;
    return module.attached();
}

tvtest::RealServer* ServerOrSkip(benchmark::State& state) {
    std::string whyNot;
    tvtest::RealServer* server = ListingServer(&whyNot);
    if (server == nullptr) state.SkipWithError(("vsftpd: " + whyNot).c_str());
    return server;
}

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

// Real and processor time and bytes of the timed parts of a benchmark's iterations.
class Measured {
public:
    void Start() {
        started_ = std::chrono::steady_clock::now();
        cpuAtStart_ = ProcessCpuSeconds(&systemAtStart_);
    }
    void Stop(int64_t bytes) {
        double system = 0;
        cpu_ += ProcessCpuSeconds(&system) - cpuAtStart_;
        system_ += system - systemAtStart_;
        real_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        bytes_ += bytes;
    }
    void Report(benchmark::State& state) const {
        const double mib = double(bytes_) / kMiB;
        if (mib <= 0) return;
        state.counters["MiB_per_s"] = mib / real_;
        state.counters["cpu_ms_per_MiB"] = cpu_ * 1000 / mib;
        state.counters["sys_ms_per_MiB"] = system_ * 1000 / mib;
        state.SetBytesProcessed(bytes_);
    }

private:
    std::chrono::steady_clock::time_point started_;
    double cpuAtStart_ = 0, systemAtStart_ = 0;
    double real_ = 0, cpu_ = 0, system_ = 0;
    int64_t bytes_ = 0;
};

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
    size_t first = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < turns.size(); ++i) {
            if (const std::string failure = turns[(first + i) % turns.size()](); !failure.empty()) {
                state.SkipWithError(failure.c_str());
                return;
            }
        }
        ++first;
    }
    for (const auto& [name, sum] : sums) state.counters[name] = sum / double(state.iterations());
}
BENCHMARK(BM_SmallFilesInTurn)->Iterations(kSmallFileRounds)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------------------------------
// One file each way
// ---------------------------------------------------------------------------------------

// Copies of 1 MiB run this many times rather than for the minimum time: every copy opens a
// data connection, and thousands of them in a row would leave the ephemeral ports held by
// TIME-WAIT sockets, which slows every later bind and connect of the run (the module's and
// the server's data connections of file transfers take ephemeral ports: PORT).
constexpr int kSmallCopyIterations = 50;

// The files of one copy: who copies (a prefix of the local and uploaded names), which way,
// and how much.
struct OneFile {
    OneFile(tvtest::RealServer& server, int mib, bool download, const char* who)
        : download(download), bytes(int64_t(mib) << 20) {
        const std::string remoteFile = RemoteFileOf(server, mib);
        remotePath = download ? remoteFile : "upload/" + std::string(who) + "-" + remoteFile;
        if (!download) source = UploadSourceOf(mib);
        // Where the copy lands: the local file of a download, the server's file of an upload.
        arrivesAt = download ? LocalTarget(remoteFile, who) : server.LocalPath("/" + remotePath);
    }
    // The size of what arrived, which is then removed for the next copy; outside the timing.
    int64_t TakeArrived(benchmark::State& state) const {
        state.PauseTiming();
        const int64_t arrived = FileSize(arrivesAt);
        std::remove(arrivesAt.c_str());
        state.ResumeTiming();
        return arrived;
    }

    bool download;
    int64_t bytes;
    std::string remotePath;  // what the client asks the server for or stores
    std::string source;      // the local file an upload sends
    std::string arrivesAt;
};

void ModuleCopies(benchmark::State& state, bool download, int mib) {
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (!ModuleAttached()) return state.SkipWithError("the module did not start");
    const OneFile file(*server, mib, download, "module");
    CopyingHost host(*server);
    if (const std::string why = host.Unusable(); !why.empty()) return state.SkipWithError(why.c_str());
    Measured measured;
    double peakBytes = 0, leftBytes = 0;
    for (auto _ : state) {
        measured.Start();
        TvGlobalMemoryUsage before{};
        TvQueryGlobalMemory(&before, TRUE);
        const HFILE local = download ? _lcreat(file.arrivesAt.c_str(), 0) : _lopen(file.source.c_str(), OF_READ);
        const LONG copied = host.Copy(file.remotePath, local, download);
        _lclose(local);
        TvGlobalMemoryUsage after{};
        TvQueryGlobalMemory(&after, FALSE);
        measured.Stop(file.bytes);
        peakBytes = std::max(peakBytes, double(after.peakBytes - before.liveBytes));
        leftBytes = std::max(leftBytes, double(after.liveBytes) - double(before.liveBytes));
        const int64_t arrived = file.TakeArrived(state);
        if (copied != 0 || arrived != file.bytes) {
            state.SkipWithError(("copy " + std::to_string(copied) + ", " + std::to_string(arrived) +
                                 " bytes arrived").c_str());
            break;
        }
    }
    measured.Report(state);
    state.counters["peak_bytes"] = peakBytes;
    state.counters["left_bytes"] = leftBytes;
}

void BareCopies(benchmark::State& state, bool download, int mib, DataMode mode) {
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    const OneFile file(*server, mib, download, "bare");
    BareClient client(server->Host(), server->Port(), server->User(), server->Password());
    if (!client.ok()) return state.SkipWithError(("bare client: " + client.lastReply()).c_str());
    Measured measured;
    for (auto _ : state) {
        measured.Start();
        const int local = download ? open(file.arrivesAt.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                                   : open(file.source.c_str(), O_RDONLY | O_CLOEXEC);
        const int64_t moved = download ? client.Download(file.remotePath, local, mode)
                                       : client.Upload(local, file.remotePath, mode);
        close(local);
        measured.Stop(file.bytes);
        const int64_t arrived = file.TakeArrived(state);
        if (moved != file.bytes || arrived != file.bytes) {
            state.SkipWithError(("moved " + std::to_string(moved) + ", " + client.lastReply()).c_str());
            break;
        }
    }
    measured.Report(state);
}

void CurlCopies(benchmark::State& state, bool download, int mib) {
    tvtest::RealServer* server = ServerOrSkip(state);
    if (server == nullptr) return;
    if (CurlPath().empty()) return state.SkipWithError("curl is not installed");
    const OneFile file(*server, mib, download, "curl");
    const std::string address =
        CurlAddress(server->Host(), server->Port(), server->User(), server->Password(), file.remotePath);
    double transferSeconds = 0, cpuSeconds = 0;
    for (auto _ : state) {
        CurlRun run;
        const bool ran = download ? CurlDownloads({{address, file.arrivesAt}}, {}, &run)
                                  : CurlUpload(file.source, address, &run);
        if (!ran || file.TakeArrived(state) != file.bytes) {
            state.SkipWithError("curl failed");
            break;
        }
        transferSeconds += run.transferSeconds;
        cpuSeconds += run.cpuSeconds;
    }
    const double iterations = double(state.iterations());
    if (iterations == 0 || transferSeconds <= 0) return;
    state.counters["transfer_ms"] = transferSeconds * 1000 / iterations;
    state.counters["MiB_per_s"] = mib * iterations / transferSeconds;
    state.counters["cpu_ms_per_MiB"] = cpuSeconds * 1000 / (mib * iterations);
}

// BM_{Module,Bare,Curl}{Download,Upload}/[pasv|port/]{1,256}MiB, downloads first, each size
// by every client in turn.
int RegisterOneFileCopies() {
    for (const bool download : {true, false}) {
        const std::string way = download ? "Download/" : "Upload/";
        for (const int mib : {1, 256}) {
            const std::string size = std::to_string(mib) + "MiB";
            std::vector<benchmark::internal::Benchmark*> copies = {
                benchmark::RegisterBenchmark(("BM_Module" + way + size).c_str(),
                                             [=](benchmark::State& s) { ModuleCopies(s, download, mib); }),
                benchmark::RegisterBenchmark(
                    ("BM_Bare" + way + "pasv/" + size).c_str(),
                    [=](benchmark::State& s) { BareCopies(s, download, mib, DataMode::Passive); }),
                benchmark::RegisterBenchmark(
                    ("BM_Bare" + way + "port/" + size).c_str(),
                    [=](benchmark::State& s) { BareCopies(s, download, mib, DataMode::Active); }),
                benchmark::RegisterBenchmark(("BM_Curl" + way + size).c_str(),
                                             [=](benchmark::State& s) { CurlCopies(s, download, mib); }),
            };
            for (benchmark::internal::Benchmark* copy : copies) {
                copy->Unit(benchmark::kMillisecond)->UseRealTime();
                if (mib == 1) copy->Iterations(kSmallCopyIterations);
            }
        }
    }
    return 0;
}
const int kOneFileCopies = RegisterOneFileCopies();

}  // namespace
