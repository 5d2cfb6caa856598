// One open file system as ftpsh holds it: the state record in moveable global memory with
// its host name block, the open request, and the user name, password and account texts,
// all owned by ftpsh as the file manager owns them, for as long as the connection lives.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "records/tarvoftp.h"
#include "host/ftp_address.h"
#include "host/host_types.h"
#include "host/module.h"

namespace ftpsh {

// Room for each of the user name, password and account texts: the module copies prompt
// answers of up to 319 characters into them.
constexpr size_t kLogonTextRoom = LOGON_TEXT_SIZE;
// Host names are at most 255 characters.
constexpr size_t kHostNameRoom = 256;

// The record locked for the length of one call into the module, unlocked on every path.
class LockedRecord {
public:
    explicit LockedRecord(HGLOBAL handle)
        : handle_(handle), record_(static_cast<FsStateRecord*>(GlobalLock(handle))) {}
    ~LockedRecord() {
        if (record_ != nullptr) GlobalUnlock(handle_);
    }
    LockedRecord(const LockedRecord&) = delete;
    LockedRecord& operator=(const LockedRecord&) = delete;
    FsStateRecord* get() const { return record_; }
    FsStateRecord* operator->() const { return record_; }

private:
    HGLOBAL handle_;
    FsStateRecord* record_;
};

class Session {
public:
    Session(ProtocolModule& module, HWND owner) : module_(module), owner_(owner) {}
    ~Session() { Close(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens a connection with xfsopen: 0 or the module's FsError. A failed open leaves no
    // connection behind (one that the module left attached is closed here).
    // `hostType` is the remote system as the user named it, or kDetectHostType.
    int32_t Open(const FtpAddress& address, const std::string& account, uint32_t openFlags,
                 uint8_t hostType);
    // Logs off and releases the connection (FTP_FS_Close), then frees the records.
    void Close();

    bool Connected() const;
    HGLOBAL recordHandle() const { return record_; }
    HWND owner() const { return owner_; }
    // After an open: the host name as the module left it (lower case), the remote system,
    // and the user name in force (a prompt answer, if the module asked).
    std::string HostName() const;
    uint8_t HostType() const;
    std::string User() const { return user_.data(); }
    uint16_t Port() const { return parameters_.port; }

private:
    void FreeRecords();

    ProtocolModule& module_;
    HWND owner_;
    HGLOBAL record_ = nullptr;
    HGLOBAL hostName_ = nullptr;
    OpenParameters parameters_{};
    std::array<char, kLogonTextRoom> user_{};
    std::array<char, kLogonTextRoom> password_{};
    std::array<char, kLogonTextRoom> account_{};
};

}  // namespace ftpsh
