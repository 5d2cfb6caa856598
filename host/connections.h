// The connections ftpsh holds at once, as a file manager holds one per pane: each opened
// under a name (its host name, or one the user gives), one of them current. The commands
// that work on one connection reach the current one through the same calls as a single
// Session offers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/session.h"

namespace ftpsh {

class Connections {
public:
    Connections(ProtocolModule& module, HWND owner) : module_(module), owner_(owner) {}
    ~Connections() { CloseAll(); }
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    // Opens one more connection (see Session::Open) under `name`, or under its host name
    // when `name` is empty; a name already taken gets "-2", "-3"... added. On success it
    // becomes the current one; a failed open leaves the others as they were.
    int32_t Open(const FtpAddress& address, const std::string& account, uint32_t openFlags,
                 uint8_t hostType, const std::string& name = "");
    // Logs off the current connection; the one opened last of the others becomes current.
    void Close();
    void CloseAll();
    // Makes the named connection current: false when there is none of that name.
    bool Use(const std::string& name);
    // The named connection, or null.
    Session* Find(const std::string& name) const;

    struct Named {
        std::string name;
        Session* session;
        bool current;
    };
    std::vector<Named> List() const;
    // The current connection's name; "" without one.
    std::string CurrentName() const;

    // The current connection, as Session gives them; without one, not connected.
    bool Connected() const { return current_ != nullptr && current_->Connected(); }
    HGLOBAL recordHandle() const { return current_ ? current_->recordHandle() : nullptr; }
    HWND owner() const { return owner_; }
    std::string HostName() const { return current_ ? current_->HostName() : ""; }
    uint8_t HostType() const { return current_ ? current_->HostType() : 0; }
    std::string User() const { return current_ ? current_->User() : ""; }
    uint16_t Port() const { return current_ ? current_->Port() : 0; }

private:
    struct Entry {
        std::string name;
        std::unique_ptr<Session> session;
    };
    ProtocolModule& module_;
    HWND owner_;
    std::vector<Entry> entries_;  // in the order they were opened
    Session* current_ = nullptr;
};

}  // namespace ftpsh
