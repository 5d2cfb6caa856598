// The benchmarks' host (see bench_host.h).
#include "bench/bench_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "driver/library_entry.h"

namespace tvbench {

namespace {

// A text in a moveable block of its own, freed with the object.
class TextBlock {
public:
    explicit TextBlock(const std::string& text) : handle_(GlobalAlloc(GHND, text.size() + 1)) {
        std::memcpy(GlobalLock(handle_), text.c_str(), text.size() + 1);
        GlobalUnlock(handle_);
    }
    ~TextBlock() { GlobalFree(handle_); }
    TextBlock(const TextBlock&) = delete;
    TextBlock& operator=(const TextBlock&) = delete;
    HGLOBAL get() const { return handle_; }

private:
    HGLOBAL handle_;
};

// A user name or password in a buffer of the size xfsopen may write back into.
struct LogonText {
    char text[LOGON_TEXT_SIZE] = {};
    explicit LogonText(const std::string& value) { std::strncpy(text, value.c_str(), LOGON_TEXT_SIZE - 1); }
};

}  // namespace

AttachedModule::AttachedModule()
    : settings_((std::filesystem::temp_directory_path() / "tarvoftp-bench.ini").string()) {
    // Passive data connections, as curl uses them; connection open reads the setting when
    // it detects the server's system.
    std::ofstream(settings_) << "[FTP_Protocol]\nSupportPasv=1\n";
    setenv("TARVO_ORR_INI", settings_.c_str(), 1);
    attached_ = ModuleAttach(GetModuleHandleA(nullptr)) != FALSE;
}

AttachedModule::~AttachedModule() {
    ModuleDetach(GetModuleHandleA(nullptr));
    unsetenv("TARVO_ORR_INI");
    std::remove(settings_.c_str());
}

tvtest::RealServer* ListingServer(std::string* whyNot) {
    static std::unique_ptr<tvtest::RealServer> server;
    static std::string failure;
    if (server == nullptr && failure.empty()) {
        // The launcher is found through the test data folder, as under ctest.
        setenv("TVFTP_TEST_DATA", TVBENCH_TEST_DATA, 0);
        failure = tvtest::RealServer::Unavailable("vsftpd");
        if (failure.empty()) {
            try {
                server = std::make_unique<tvtest::RealServer>("vsftpd");
            } catch (const std::exception& error) {
                failure = error.what();
            }
        }
    }
    *whyNot = failure;
    return server.get();
}

std::string FolderOf(tvtest::RealServer& server, int entries) {
    const std::string folder = "files-" + std::to_string(entries);
    const std::filesystem::path local = server.LocalPath("/" + folder);
    if (!std::filesystem::exists(local)) {
        std::filesystem::create_directory(local);
        char name[64];
        for (int i = 0; i < entries; ++i) {
            // Names of the length and variety of a real folder: a stem, a number, an
            // extension.
            std::snprintf(name, sizeof name, "report-%05d-%s.%s", i, i % 3 ? "final" : "draft",
                          i % 2 ? "txt" : "dat");
            std::ofstream(local / name).flush();
        }
    }
    return folder;
}

LoggedOnHost::LoggedOnHost(tvtest::RealServer& server)
    : record_(GlobalAlloc(GHND, sizeof(FsStateRecord))) {
    const std::string& hostName = server.Host();
    HGLOBAL name = GlobalAlloc(GHND, hostName.size() + 1);
    std::memcpy(GlobalLock(name), hostName.c_str(), hostName.size() + 1);
    GlobalUnlock(name);
    auto* record = static_cast<FsStateRecord*>(GlobalLock(record_));
    record->hostName = name;
    record->fsKind = FS_KIND_LOCAL;
    record->hostType = HOST_AUTOMATIC;
    GlobalUnlock(record_);

    OpenParameters parameters{};
    parameters.accountHostType = HOST_UNIX;
    parameters.openFlags = OPEN_PARSE_DIRECTORIES;
    parameters.port = server.Port();
    LogonText user(server.User());
    LogonText password(server.Password());
    opened_ = xfsopen(record_, 0, user.text, password.text, nullptr, &parameters);
}

LoggedOnHost::~LoggedOnHost() {
    auto* record = static_cast<FsStateRecord*>(GlobalLock(record_));
    FTP_FS_Close(record);
    GlobalFree(record->hostName);
    GlobalUnlock(record_);
    GlobalFree(record_);
}

FtpConnection* LoggedOnHost::connection() const {
    auto* record = static_cast<FsStateRecord*>(GlobalLock(record_));
    FtpConnection* connection = record->connection;
    GlobalUnlock(record_);
    return connection;
}

LONG ListDirectory(HGLOBAL record, const std::string& folder) {
    HGLOBAL blockHandle = GlobalAlloc(GHND, sizeof(HostHandleBlock));
    TextBlock pattern(folder);
    const LONG opened = FTP_Dir_Open(blockHandle, pattern.get(), record);
    if (opened < 0) {
        GlobalFree(blockHandle);
        return opened;
    }
    LONG total = 0;
    auto* block = static_cast<HostHandleBlock*>(GlobalLock(blockHandle));
    std::vector<DirEntry> entries(kEntriesPerRead);
    for (;;) {
        const LONG read = FTP_Dir_Read(block, entries.data(), kEntriesPerRead);
        if (read <= 0) {
            if (read < 0) total = read;
            break;
        }
        // The host takes the entries over and, having shown them, frees them.
        for (LONG i = 0; i < read; ++i) {
            GlobalFree(entries[static_cast<size_t>(i)].name);
            GlobalFree(entries[static_cast<size_t>(i)].line);
        }
        total += read;
    }
    const LONG closed = FTP_Dir_Close(block);
    GlobalUnlock(blockHandle);
    GlobalFree(blockHandle);
    return total >= 0 && closed < 0 ? closed : total;
}

}  // namespace tvbench
