// VMS servers: a file name such as SUBDIR.DIR;1, as a VMS listing shows a directory,
// becomes the bracketed directory [.SUBDIR] below the current one; and which of the two
// VMS quirks a server has.
#include <string_view>

#include "connection/detection.h"
#include "fsops/path_operations.h"
#include "util/orr.h"

namespace {

// "[." in front and "]" behind the name, and its NUL.
constexpr uint32_t kAddedCharacters = 4;
constexpr std::string_view kDirectoryType = ".DIR";

// Writes "[." name "]" into `block`, without the version (from the last ";") and without a
// type that is exactly ".DIR". The type is looked for in the name only, not in the "[." in
// front of it: a directory file called plain DIR (no type) then stays [.DIR] instead of
// turning into [], the current directory.
void WriteVmsDirectory(const char* name, char* block) {
    std::string_view rest(name);
    if (size_t version = rest.rfind(';'); version != std::string_view::npos) {
        rest = rest.substr(0, version);
    }
    if (size_t type = rest.rfind('.');
        type != std::string_view::npos && rest.substr(type) == kDirectoryType) {
        rest = rest.substr(0, type);
    }
    char* out = block;
    *out++ = '[';
    *out++ = '.';
    out += OrrCopyBytes(rest.data(), out, static_cast<int32_t>(rest.size()));
    *out++ = ']';
    *out = '\0';
}

}  // namespace

DirectoryNameForServer::DirectoryNameForServer(const char* name, bool rewriteForVms)
    : name_(name) {
    // A name that already holds a bracketed directory is written in VMS syntax already.
    if (!rewriteForVms || OrrFindChar(name, '[') != nullptr) return;
    name_ = block_.emplace(static_cast<uint32_t>(lstrlenA(name)) + kAddedCharacters).get();
    if (name_ != nullptr) WriteVmsDirectory(name, block_->get());
}

void DetectVmsQuirks(FsStateRecord* record, FtpConnection* connection, const char* greetingText) {
    if (uint32_t quirk = VmsQuirkFromGreeting(greetingText); quirk != 0) {
        connection->hostQuirks |= quirk;
        return;
    }
    // The greeting does not tell: try to enter a directory that cannot exist (as a VMS
    // directory name, "[.KWAXYBOGUSDIR]"). A server that accepts even that does not check
    // a directory when it is entered, so a missing one shows only when it is listed: such a
    // server gets the listing before every change of directory. A server that refuses it
    // checks for itself and gets the bracketed form of directory names for RMD instead.
    const int32_t entered = ChangeDirectory(connection, VMS_PROBE_DIRECTORY, record);
    connection->hostQuirks |= entered >= 0 ? QUIRK_LIST_BEFORE_CWD : QUIRK_BRACKETED_RMD;
}
