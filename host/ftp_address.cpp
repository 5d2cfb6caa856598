// Parsing the server address of an `open` command.
#include "host/ftp_address.h"

#include <cctype>

namespace ftpsh {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes %XX escapes. A NUL would end the text early when the module copies it, and a
// CR or LF would end the FTP command it is sent in, so none of them is accepted.
std::optional<std::string> Decode(std::string_view text, const char* what, std::string& error) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = std::string("bad %-escape in the ") + what;
                return std::nullopt;
            }
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (c == '\0' || c == '\r' || c == '\n') {
            error = std::string("the ") + what + " holds a NUL, CR or LF";
            return std::nullopt;
        }
        out += c;
    }
    return out;
}

}  // namespace

std::optional<FtpAddress> ParseFtpAddress(std::string_view text, std::string& error) {
    FtpAddress address;
    constexpr std::string_view kScheme = "ftp://";
    if (text.size() >= kScheme.size()) {
        std::string scheme(text.substr(0, kScheme.size()));
        for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme == kScheme) text.remove_prefix(kScheme.size());
    }
    if (text.find("://") != std::string_view::npos) {
        error = "only ftp:// addresses can be opened";
        return std::nullopt;
    }

    // The last '@' ends the user part, so an unescaped '@' in a password still works.
    size_t at = text.rfind('@');
    std::string_view rest = text.substr(at == std::string_view::npos ? 0 : at + 1);
    size_t slash = rest.find('/');
    std::string_view server = rest.substr(0, slash);
    if (slash != std::string_view::npos && slash + 1 < rest.size()) {
        error = "a path after the server is not supported";
        return std::nullopt;
    }
    if (at != std::string_view::npos) {
        std::string_view credentials = text.substr(0, at);
        size_t colon = credentials.find(':');
        auto user = Decode(credentials.substr(0, colon), "user name", error);
        if (!user) return std::nullopt;
        address.user = *user;
        if (colon != std::string_view::npos) {
            auto password = Decode(credentials.substr(colon + 1), "password", error);
            if (!password) return std::nullopt;
            address.password = *password;
        }
    }

    size_t colon = server.rfind(':');
    std::string_view host = server.substr(0, colon);
    if (colon != std::string_view::npos) {
        std::string_view digits = server.substr(colon + 1);
        unsigned long port = 0;
        bool ok = !digits.empty() && digits.size() <= 5;
        for (char c : digits) {
            if (c < '0' || c > '9') ok = false;
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!ok || port == 0 || port > 65535) {
            error = "bad port \"" + std::string(digits) + "\"";
            return std::nullopt;
        }
        address.port = static_cast<uint16_t>(port);
    }
    if (host.empty()) {
        error = "no server named";
        return std::nullopt;
    }
    // The module copies the host name into a block of 256 bytes.
    if (host.size() > 255) {
        error = "the server name is longer than 255 characters";
        return std::nullopt;
    }
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == ':' || c == '@' || c == '/') {
            error = "bad server name \"" + std::string(host) + "\"";
            return std::nullopt;
        }
    }
    address.host = std::string(host);
    return address;
}

}  // namespace ftpsh
