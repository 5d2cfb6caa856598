// The transfer options and status of a connection from ftpsh: the module's own dialogs,
// answered by the person at the terminal, by the script, or by the command itself.
#include <string>

#include "host/commands.h"
#include "host/fs_error_text.h"
#include "host/settings.h"

namespace ftpsh {

namespace {

constexpr const char* kOptionsDialog = "FTP_OPTIONS_DLG";
constexpr const char* kStatusDialog = "FTP_STATUS_DLG";

// The controls of the options dialog the shortcuts set.
constexpr int kDetermineType = 407;
constexpr int kAscii = 400;
constexpr int kBinary = 401;
constexpr int kFileStructure = 403;
constexpr int kRecordStructure = 404;

struct Shortcut {
    const char* command;
    const char* choice;
    bool fixed;      // the type and structure are the user's
    int button;      // the radio button chosen, or 0
    uint32_t set;    // the open flags of the next connections
    uint32_t clear;
};
constexpr Shortcut kShortcuts[] = {
    {"type", "ascii", true, kAscii, OPEN_REPRESENTATION_FIXED | OPEN_TYPE_ASCII, 0},
    {"type", "binary", true, kBinary, OPEN_REPRESENTATION_FIXED, OPEN_TYPE_ASCII},
    {"type", "auto", false, 0, 0, OPEN_REPRESENTATION_FIXED},
    {"stru", "file", true, kFileStructure, OPEN_REPRESENTATION_FIXED | OPEN_STRUCTURE_FILE, 0},
    {"stru", "record", true, kRecordStructure, OPEN_REPRESENTATION_FIXED, OPEN_STRUCTURE_FILE},
};

AnswerStep SetStep(int id, bool on) {
    return AnswerStep{AnswerStep::Action::Type, id, on ? "on" : "off"};
}

}  // namespace

CommandResult Shell::RunOptionsDialog(const Command& command) {
    LockedRecord record(session_.recordHandle());
    const int32_t result = module_.option(record.get());
    switch (result) {
        case 1:
        case 2: return Report(command.name, 0, "Transfer options set.");
        case 3: return Report(command.name, 0, "Transfer options unchanged.");
        case 5:
            Complain(std::string(command.name) + ": the server refused an option");
            return CommandResult::Failed;
        case -1:
            Complain(std::string(command.name) + ": the options dialog could not be shown");
            return CommandResult::Failed;
        default:
            if (result < 0) return Report(command.name, result, "");
            Complain(std::string(command.name) + ": the server answered with a " +
                     std::to_string(result) + "xx reply");
            return CommandResult::Failed;
    }
}

CommandResult Shell::Options(const Command& command, const Words&) {
    if (!ReadyFor(command, module_.option != nullptr)) return CommandResult::Failed;
    return RunOptionsDialog(command);
}

CommandResult Shell::ChooseOption(const Command& command, const Words& words) {
    const Shortcut* shortcut = nullptr;
    for (const Shortcut& row : kShortcuts) {
        if (command.name == std::string(row.command) && words[1] == row.choice) shortcut = &row;
    }
    if (shortcut == nullptr) {
        Complain(std::string("usage: ") + command.name + " " + command.synopsis);
        return CommandResult::Failed;
    }
    // The connections opened from now on start with the choice.
    if (shortcut->set != 0) choices_.overrides.Set(shortcut->set);
    if (shortcut->clear != 0) choices_.overrides.Clear(shortcut->clear);
    if (!session_.Connected()) return CommandResult::Done;
    if (!ReadyFor(command, module_.option != nullptr)) return CommandResult::Failed;
    // The open connection takes it through its options dialog, as a person would set it.
    DialogAnswer answer{kOptionsDialog, {SetStep(kDetermineType, !shortcut->fixed)}, true};
    if (shortcut->button != 0) answer.steps.push_back(SetStep(shortcut->button, true));
    answer.steps.push_back(AnswerStep{AnswerStep::Action::ClickLabel, 0, "OK"});
    answers_.AddFirst(std::move(answer));
    return RunOptionsDialog(command);
}

// Passive mode is not one of the connection's transfer options: the module chooses it
// when it detects the remote system, from SupportPasv in the settings file. So the choice
// goes there, for the connections opened from now on, and the open one keeps its mode.
CommandResult Shell::Passive(const Command& command, const Words& words) {
    if (words[1] != "on" && words[1] != "off") {
        Complain(std::string("usage: ") + command.name + " " + command.synopsis);
        return CommandResult::Failed;
    }
    const std::string path = SettingsPath();
    if (!WritePrivateProfileStringA("FTP_Protocol", "SupportPasv", words[1] == "on" ? "1" : "0",
                                    path.c_str())) {
        Complain(std::string(command.name) + ": cannot write " + path);
        return CommandResult::Failed;
    }
    std::string done = "Passive mode " + words[1] + " for the next connections (SupportPasv in " +
                       path + ")";
    if (session_.Connected()) done += "; this connection keeps its mode";
    return Report(command.name, 0, done + ".");
}

CommandResult Shell::Status(const Command& command, const Words&) {
    if (!ReadyFor(command, module_.status != nullptr)) return CommandResult::Failed;
    answers_.AddFirst(DialogAnswer{kStatusDialog,
                                   {AnswerStep{AnswerStep::Action::Print, 0, ""},
                                    AnswerStep{AnswerStep::Action::ClickLabel, 0, "OK"}},
                                   true});
    LockedRecord record(session_.recordHandle());
    const int32_t result = module_.status(record.get());
    if (result == -1) {
        Complain(std::string(command.name) + ": the status dialog could not be shown");
        return CommandResult::Failed;
    }
    return Report(command.name, result, "");
}

}  // namespace ftpsh
