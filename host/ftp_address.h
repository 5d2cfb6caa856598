// The server address of an `open` command: [ftp://][user[:password]@]host[:port][/],
// with user and password percent-encoded where they hold ':', '@' or '/'.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ftpsh {

struct FtpAddress {
    std::optional<std::string> user;      // absent: the module prompts for it
    std::optional<std::string> password;  // absent: the module prompts when the server asks
    std::string host;
    uint16_t port = 21;
};

// Parses `text`; on failure returns nothing and says why in `error`.
std::optional<FtpAddress> ParseFtpAddress(std::string_view text, std::string& error);

}  // namespace ftpsh
