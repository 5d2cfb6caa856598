// What the listing benchmarks need from a host: the module started as a loaded library
// would be, one vsftpd on loopback for the whole run whose tree gets folders of empty files
// on demand, a state record logged on to it through xfsopen, and a directory listed through
// the exports as a host lists one (entries taken over and freed after every read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "connection/ftp_connection.h"
#include "tests/support/real_server.h"

namespace tvbench {

// Entries a host asks for in one FTP_Dir_Read.
constexpr int kEntriesPerRead = 64;

// The module's start-up and end for the benchmark program, which holds the module's code,
// with a settings file of its own (passive mode on, nothing else) so that no ORR.INI of
// the machine takes part.
class AttachedModule {
public:
    AttachedModule();
    ~AttachedModule();
    AttachedModule(const AttachedModule&) = delete;
    AttachedModule& operator=(const AttachedModule&) = delete;
    bool attached() const { return attached_; }

private:
    std::string settings_;
    bool attached_ = false;
};

// The run's vsftpd, started at the first call and stopped at exit; null (with the reason in
// *whyNot) when it cannot run here.
tvtest::RealServer* ListingServer(std::string* whyNot);

// The remote folder ("files-N") that holds `entries` empty files, made on first use.
std::string FolderOf(tvtest::RealServer& server, int entries);

// A state record as the host keeps one, logged on to the server while the object lives:
// its system detected (UNIX), LIST parsed, passive data connections.
class LoggedOnHost {
public:
    explicit LoggedOnHost(tvtest::RealServer& server);
    ~LoggedOnHost();
    LoggedOnHost(const LoggedOnHost&) = delete;
    LoggedOnHost& operator=(const LoggedOnHost&) = delete;

    // 0 when the logon succeeded, else the FsError of xfsopen.
    LONG opened() const { return opened_; }
    HGLOBAL record() const { return record_; }
    FtpConnection* connection() const;

private:
    HGLOBAL record_;
    LONG opened_;
};

// One listing of `folder` through FTP_Dir_Open, FTP_Dir_Read (kEntriesPerRead at a time,
// each read's entries freed at once) and FTP_Dir_Close: the number of entries, or the
// FsError that stopped it.
LONG ListDirectory(HGLOBAL record, const std::string& folder);

}  // namespace tvbench
