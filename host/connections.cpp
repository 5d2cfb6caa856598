// Several connections at once: open adds one and makes it current, use switches, connections
// lists them, close ends one, and copy copies a file between two of them through
// FTP_Passthru, as a file manager with two server panes does.
#include "host/connections.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "host/commands.h"
#include "host/console.h"
#include "host/copy_progress.h"
#include "host/fs_error_text.h"
#include "host/handed_text.h"
#include "host/local_files.h"

namespace ftpsh {

// ---- the set of connections

int32_t Connections::Open(const FtpAddress& address, const std::string& account,
                          uint32_t openFlags, uint8_t hostType, const std::string& name) {
    auto session = std::make_unique<Session>(module_, owner_);
    const int32_t result = session->Open(address, account, openFlags, hostType);
    if (result < 0) return result;
    const std::string wanted = name.empty() ? session->HostName() : name;
    std::string unique = wanted;
    for (int n = 2; Find(unique) != nullptr; ++n) unique = wanted + "-" + std::to_string(n);
    current_ = session.get();
    entries_.push_back({unique, std::move(session)});
    return result;
}

void Connections::Close() {
    std::erase_if(entries_, [this](const Entry& entry) { return entry.session.get() == current_; });
    current_ = entries_.empty() ? nullptr : entries_.back().session.get();
}

void Connections::CloseAll() {
    // Logged off in the order they were opened.
    for (Entry& entry : entries_) entry.session.reset();
    entries_.clear();
    current_ = nullptr;
}

bool Connections::Use(const std::string& name) {
    Session* found = Find(name);
    if (found != nullptr) current_ = found;
    return found != nullptr;
}

Session* Connections::Find(const std::string& name) const {
    for (const Entry& entry : entries_) {
        if (entry.name == name) return entry.session.get();
    }
    return nullptr;
}

std::vector<Connections::Named> Connections::List() const {
    std::vector<Named> named;
    for (const Entry& entry : entries_) {
        named.push_back({entry.name, entry.session.get(), entry.session.get() == current_});
    }
    return named;
}

std::string Connections::CurrentName() const {
    for (const Entry& entry : entries_) {
        if (entry.session.get() == current_) return entry.name;
    }
    return "";
}

// ---- the commands

CommandResult Shell::Open(const Command& command, const Words& given) {
    if (module_.open == nullptr) {
        Complain("open: the module offers no xfsopen");
        return CommandResult::Failed;
    }
    Words words = given;
    std::string name;
    if (words.size() > 2 && words[1] == "-n") {
        name = words[2];
        words.erase(words.begin() + 1, words.begin() + 3);
    }
    // A name holds no ':', which would part it from the path in a copy's NAME:REMOTE.
    if (words.size() < 2 || words.size() > 3 || name.find(':') != std::string::npos) {
        Complain("usage: open " + std::string(command.synopsis));
        return CommandResult::Failed;
    }
    if (!name.empty() && session_.Find(name) != nullptr) {
        Complain("open: a connection named " + name + " is open already");
        return CommandResult::Failed;
    }
    std::string error;
    auto address = ParseFtpAddress(words[1], error);
    if (!address) {
        Complain("open: " + error);
        return CommandResult::Failed;
    }
    const std::string account = words.size() == 3 ? words[2] : "";
    if (address->user.value_or("").size() >= kLogonTextRoom ||
        address->password.value_or("").size() >= kLogonTextRoom ||
        account.size() >= kLogonTextRoom) {
        Complain("open: user name, password and account hold at most " +
                 std::to_string(kLogonTextRoom - 1) + " characters");
        return CommandResult::Failed;
    }

    uint32_t flags = choices_.overrides.Apply(OpenFlagsFromSettings(SettingsPath()));
    if (choices_.showProtocol) flags |= OPEN_SHOW_PROTOCOL;
    const int32_t result = session_.Open(*address, account, flags, choices_.hostType, name);
    if (result < 0) {
        Complain("open: " + DescribeFsError(result));
        return CommandResult::Failed;
    }
    std::printf("Connected to %s port %u as %s (remote system %s).\n", session_.HostName().c_str(),
                static_cast<unsigned>(session_.Port()), session_.User().c_str(),
                HostTypeName(session_.HostType()).c_str());
    if (session_.CurrentName() != session_.HostName()) {
        std::printf("The connection's name is %s.\n", session_.CurrentName().c_str());
    }
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::Close(const Command&, const Words& words) {
    if (words.size() > 1 && !session_.Use(words[1])) {
        Complain("close: no connection named " + words[1]);
        return CommandResult::Failed;
    }
    if (!session_.Connected() && session_.CurrentName().empty()) {
        Complain("close: not connected");
        return CommandResult::Failed;
    }
    const std::string host = session_.HostName();
    session_.Close();
    std::printf("Closed the connection to %s.\n", host.c_str());
    if (!session_.CurrentName().empty()) {
        std::printf("Using %s (%s).\n", session_.CurrentName().c_str(),
                    session_.HostName().c_str());
    }
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::UseConnection(const Command&, const Words& words) {
    if (!session_.Use(words[1])) {
        Complain("use: no connection named " + words[1]);
        return CommandResult::Failed;
    }
    std::printf("Using %s (%s).\n", words[1].c_str(), session_.HostName().c_str());
    std::fflush(stdout);
    return CommandResult::Done;
}

CommandResult Shell::ListConnections(const Command&, const Words&) {
    for (const auto& [name, session, current] : session_.List()) {
        std::string directory = "?";
        if (session->Connected() && module_.printDirectory != nullptr) {
            HGLOBAL block = nullptr;
            int32_t result;
            {
                LockedRecord record(session->recordHandle());
                result = module_.printDirectory(record.get(), &block);
            }
            // The server's text, made safe for the terminal.
            const std::string text = ShownText(TakeTextBlock(block));
            if (result >= 0) directory = text;
        }
        std::printf("%s %s  %s@%s:%u  %s  %s%s\n", current ? "*" : " ", name.c_str(),
                    session->User().c_str(), session->HostName().c_str(),
                    static_cast<unsigned>(session->Port()),
                    HostTypeName(session->HostType()).c_str(), directory.c_str(),
                    session->Connected() ? "" : "  (the connection broke)");
    }
    std::fflush(stdout);
    return CommandResult::Done;
}

namespace {

// One side of a copy: NAME:REMOTE, where NAME is an open connection; or, where `bare` is
// allowed, REMOTE on the current connection. A path that holds a ':' of its own is read as
// NAME:REMOTE only when the text before it names a connection.
struct CopySide {
    Session* session = nullptr;
    std::string name, path;
};

CopySide SideOf(const std::string& word, const Connections& connections, bool bare) {
    const size_t colon = word.find(':');
    if (colon != std::string::npos) {
        if (Session* named = connections.Find(word.substr(0, colon))) {
            return {named, word.substr(0, colon), word.substr(colon + 1)};
        }
    }
    if (!bare) return {};
    return {connections.Find(connections.CurrentName()), connections.CurrentName(), word};
}

}  // namespace

CommandResult Shell::CopyBetween(const Command& command, const Words& words) {
    if (!module_.fileOpen || !module_.passthru || !module_.fileClose) {
        Complain("copy: not available (the module does not offer it)");
        return CommandResult::Failed;
    }
    const CopySide from = SideOf(words[1], session_, true);
    const CopySide to = SideOf(words[2], session_, false);
    if (from.session == nullptr || to.session == nullptr || from.path.empty() || to.path.empty()) {
        Complain("copy: name open connections: usage: copy " + std::string(command.synopsis));
        return CommandResult::Failed;
    }
    // One control connection cannot carry both transfers at once.
    if (from.session == to.session) {
        Complain("copy: both sides are the connection " + from.name + "; use get and put");
        return CommandResult::Failed;
    }
    if (!from.session->Connected() || !to.session->Connected()) {
        Complain("copy: the connection " + (from.session->Connected() ? to.name : from.name) +
                 " is not connected");
        return CommandResult::Failed;
    }
    if (module_.forgetFileType != nullptr) module_.forgetFileType(from.session->recordHandle());
    // On a terminal the source's listing tells the size for the progress line, as for get.
    std::optional<long long> size;
    if (OutputIsTerminal()) {
        const std::string current = session_.CurrentName();
        std::vector<RemoteEntry> entries;
        session_.Use(from.name);
        if (ListRemote(from.path, false, entries) >= 0 && entries.size() == 1)
            size = SizeInListingLine(entries[0].line);
        session_.Use(current);
    }

    LockedRecord source(from.session->recordHandle());
    LockedRecord destination(to.session->recordHandle());
    HostHandleBlock reading{}, writing{};
    int32_t result = module_.fileOpen(&reading, from.path.c_str(), source.get(), kRemoteRead, 0);
    if (result < 0) return Report(command.name, result, "");
    result = module_.fileOpen(&writing, to.path.c_str(), destination.get(), kRemoteWrite, 0);
    if (result < 0) {
        module_.fileClose(&reading);
        return Report(command.name, result, "");
    }
    auto context = std::make_unique<CopyContext>();
    context->source = source.get();
    context->destination = destination.get();
    context->progress = &CopyProgress::Callback;
    // Every block the module relays is first received into the copy record, and every
    // receive sets the input count: a count still as it was set here means that no block
    // passed through, so the servers exchanged the data themselves.
    constexpr uint32_t kNothingReceived = 0xFFFFFFFFu;
    context->inputCount = kNothingReceived;
    {
        CopyProgress progress(LastPart(from.path), size);
        result = module_.passthru(&reading, &writing, context.get());
    }
    // Each close reads its own server's final reply on the transfer.
    const int32_t sourceClosed = module_.fileClose(&reading);
    const int32_t destinationClosed = module_.fileClose(&writing);
    if (result >= 0) result = sourceClosed < 0 ? sourceClosed : destinationClosed;
    const bool direct = context->inputCount == kNothingReceived;
    const std::string how = direct ? "the servers exchanged the data directly"
                                   : "relayed through ftpsh, " + std::to_string(context->total) +
                                         " bytes sent";
    return Report(command.name, result,
                  "Copied " + from.name + ":" + from.path + " to " + to.name + ":" + to.path +
                      " (" + how + ").");
}

}  // namespace ftpsh
