// Opening and closing a connection through the module's exports, with the records ftpsh
// owns for it.
#include "host/session.h"
#include "host/user_text.h"

#include <algorithm>
#include <cstring>

#include "host/console.h"

namespace ftpsh {

namespace {

// The host's idle callback: the module calls it during every network wait (name lookup,
// connect, replies, data connections); -1 after a Ctrl-C cancels the wait.
LONG CALLBACK IdleWhileBlocking() { return TakeInterrupt() ? -1 : 0; }

void CopyText(std::array<char, kLogonTextRoom>& room, const std::string& text) {
    room.fill('\0');
    std::memcpy(room.data(), text.data(), std::min(text.size(), room.size() - 1));
}

}  // namespace

int32_t Session::Open(const FtpAddress& address, const std::string& account,
                      uint32_t openFlags, uint8_t hostType) {
    Close();
    record_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(FsStateRecord));
    hostName_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kHostNameRoom);
    if (record_ == nullptr || hostName_ == nullptr) {
        FreeRecords();
        return FSE_NO_MEMORY;
    }
    if (auto* name = static_cast<char*>(GlobalLock(hostName_))) {
        std::memcpy(name, address.host.data(), std::min(address.host.size(), kHostNameRoom - 1));
        GlobalUnlock(hostName_);
    }
    {
        LockedRecord record(record_);
        record->hostName = hostName_;
        record->connection = nullptr;
        record->fsKind = FS_KIND_FTP;
        record->hostType = hostType;
    }

    parameters_ = OpenParameters{};
    parameters_.accountHostType = hostType;
    parameters_.openFlags = openFlags;
    parameters_.idleCallback = &IdleWhileBlocking;
    parameters_.ownerWindow = owner_;
    parameters_.port = address.port;
    parameters_.codeSet = ServerCodeSet();
    CopyText(user_, address.user.value_or(""));
    CopyText(password_, address.password.value_or(""));
    CopyText(account_, account);

    ClearInterrupts();
    const int32_t result = module_.open(record_, 0, user_.data(), password_.data(),
                                        account_.data(), &parameters_);
    if (result < 0) Close();
    return result;
}

void Session::Close() {
    if (record_ == nullptr) return;
    if (Connected() && module_.close != nullptr) {
        LockedRecord record(record_);
        module_.close(record.get());
    }
    FreeRecords();
}

void Session::FreeRecords() {
    if (record_ != nullptr) GlobalFree(record_);
    if (hostName_ != nullptr) GlobalFree(hostName_);
    record_ = nullptr;
    hostName_ = nullptr;
    // Nothing of a password outlives its connection.
    password_.fill('\0');
    account_.fill('\0');
}

bool Session::Connected() const {
    if (record_ == nullptr) return false;
    LockedRecord record(record_);
    return record.get() != nullptr && record->connection != nullptr;
}

std::string Session::HostName() const {
    if (hostName_ == nullptr) return "";
    auto* name = static_cast<const char*>(GlobalLock(hostName_));
    std::string text = name != nullptr ? std::string(name, strnlen(name, kHostNameRoom)) : "";
    GlobalUnlock(hostName_);
    return text;
}

uint8_t Session::HostType() const {
    if (record_ == nullptr) return 0;
    LockedRecord record(record_);
    return record.get() != nullptr ? record->hostType : 0;
}

}  // namespace ftpsh
