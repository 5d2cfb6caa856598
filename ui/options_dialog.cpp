// A connection's transfer options: FTP_Option shows FTP_OPTIONS_DLG over the connection's
// copy of them, and once the user confirms, sends the type and structure chosen (TYPE,
// STRU, and TYPE L 8 for a TENEX-style host) and stores what the server accepted. The
// dialog can save the options as the defaults of the next connections. Turning text
// conversion off is module-wide and takes effect at once, confirmed or not.
#include "codeset/code_set_state.h"
#include "connection/control_stream.h"
#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "records/tarvoftp.h"
#include "ui/module_dialogs.h"
#include "ui/resources/resource_ids.h"
#include "util/orr.h"

namespace {

constexpr const char* kOptionsTemplate = "FTP_OPTIONS_DLG";

// What the owner window hears when the user asks for help.
constexpr UINT kHelpRequest = WM_USER + 1;
constexpr LPARAM kHelpContext = 53270;

// The refusal message: a caption of at most 63 characters, a text of at most 127.
constexpr int kCaptionSize = 63 + 1;
constexpr int kMessageSize = 127 + 1;

// The options the dialog edits: copied from the connection when it opens, taken back once
// it is confirmed. One dialog at a time, so one copy serves the module.
struct OptionsCopy {
    int32_t type = TYPE_ASCII;
    int32_t structure = STRUCTURE_FILE;
    bool fixedType = false;
    bool selectDataPort = false;
    bool parseDirectories = false;
    bool localByte8 = false;
    HWND owner = nullptr;
};
OptionsCopy gOptions;

// The radio buttons and labels that belong to a fixed type.
constexpr int kFixedTypeControls[] = {IDC_OPTIONS_TYPE_LABEL, IDC_OPTIONS_STRUCTURE_LABEL,
                                      IDC_OPTIONS_ASCII,      IDC_OPTIONS_BINARY,
                                      IDC_OPTIONS_FILE,       IDC_OPTIONS_RECORD};

void Enable(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void Check(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ShowType(HWND dialog) {
    CheckRadioButton(dialog, IDC_OPTIONS_ASCII, IDC_OPTIONS_BINARY,
                     gOptions.type == TYPE_ASCII ? IDC_OPTIONS_ASCII : IDC_OPTIONS_BINARY);
}

void ShowStructure(HWND dialog) {
    CheckRadioButton(dialog, IDC_OPTIONS_FILE, IDC_OPTIONS_RECORD,
                     gOptions.structure == STRUCTURE_FILE ? IDC_OPTIONS_FILE : IDC_OPTIONS_RECORD);
}

// With the type left to the program, the type and structure cannot be chosen, and the
// structure is file: a record structure is only ever the user's fixed choice.
void ShowFixedType(HWND dialog) {
    Check(dialog, IDC_OPTIONS_DETERMINE, !gOptions.fixedType);
    for (int id : kFixedTypeControls) Enable(dialog, id, gOptions.fixedType);
    if (!gOptions.fixedType) {
        gOptions.structure = STRUCTURE_FILE;
        ShowStructure(dialog);
    }
}

void Initialise(HWND dialog, const FsStateRecord* record) {
    const uint8_t hostType = record != nullptr ? record->hostType : uint8_t{HOST_AUTOMATIC};
    ShowType(dialog);
    ShowStructure(dialog);
    ShowFixedType(dialog);
    Check(dialog, IDC_OPTIONS_SELECT_PORT, gOptions.selectDataPort);
    // MVS and VM listings are told apart by their own rules, and an Other host's not at
    // all; these hosts also take ASCII with file structure unless the user fixes another.
    const bool mvsOrVm = hostType == HOST_MVS || hostType == HOST_VM;
    if (mvsOrVm || hostType == HOST_OTHER) Enable(dialog, IDC_OPTIONS_PARSE_DIRS, false);
    else Check(dialog, IDC_OPTIONS_PARSE_DIRS, gOptions.parseDirectories);
    if (mvsOrVm || hostType == HOST_OTHER) Enable(dialog, IDC_OPTIONS_DETERMINE, false);
    // Only a TENEX-style (Other) host has a local byte size.
    Enable(dialog, IDC_OPTIONS_LOCAL_BYTE8, hostType == HOST_OTHER);
    if (hostType == HOST_OTHER) Check(dialog, IDC_OPTIONS_LOCAL_BYTE8, gOptions.localByte8);
    const CodeSetState& codeSets = CodeSets();
    Enable(dialog, IDC_OPTIONS_CHARSET_GROUP, codeSets.conversionActive);
    Enable(dialog, IDC_OPTIONS_NO_CONVERSION, codeSets.conversionActive);
    if (codeSets.conversionActive)
        Check(dialog, IDC_OPTIONS_NO_CONVERSION, codeSets.conversionDisabled);
}

// A failed write is ignored: the options still hold for this connection.
int32_t SaveSetting(const char* key, uint32_t value) {
    char text[12];
    wsprintfA(text, "%u", value);
    return WritePrivateProfileStringA(SETTINGS_SECTION, key, text, gModule.settingsPath)
               ? 0
               : FSE_WINDOW_FAILED;
}

void SaveAsDefaults() {
    SaveSetting("FileType", gOptions.type == TYPE_ASCII ? 1 : 0);
    SaveSetting("FileStructure", gOptions.structure == STRUCTURE_FILE ? 1 : 0);
    SaveSetting("DetermineFileType", gOptions.fixedType ? 0 : 1);
    SaveSetting("SelectDataPort", gOptions.selectDataPort ? 1 : 0);
    SaveSetting("ParseDirectories", gOptions.parseDirectories ? 1 : 0);
    SaveSetting("LocalByte8", gOptions.localByte8 ? 1 : 0);
}

// Flips an option held by a check box and shows its new state.
void Toggle(HWND dialog, int id, bool& option) {
    option = !option;
    Check(dialog, id, option);
}

bool Command(HWND dialog, int id) {
    switch (id) {
        case IDOK: EndDialog(dialog, 1); return true;
        case IDCANCEL: EndDialog(dialog, 3); return true;
        case IDC_OPTIONS_HELP:
            if (gOptions.owner != nullptr)
                SendMessageA(gOptions.owner, kHelpRequest, 0, kHelpContext);
            return true;
        case IDC_OPTIONS_ASCII:
        case IDC_OPTIONS_BINARY:
            gOptions.type = id == IDC_OPTIONS_ASCII ? TYPE_ASCII : TYPE_IMAGE;
            ShowType(dialog);
            return true;
        case IDC_OPTIONS_FILE:
        case IDC_OPTIONS_RECORD:
            gOptions.structure = id == IDC_OPTIONS_FILE ? STRUCTURE_FILE : STRUCTURE_RECORD;
            ShowStructure(dialog);
            return true;
        case IDC_OPTIONS_LOCAL_BYTE8: Toggle(dialog, id, gOptions.localByte8); return true;
        case IDC_OPTIONS_SELECT_PORT: Toggle(dialog, id, gOptions.selectDataPort); return true;
        case IDC_OPTIONS_PARSE_DIRS: Toggle(dialog, id, gOptions.parseDirectories); return true;
        case IDC_OPTIONS_NO_CONVERSION: {
            CodeSetState& codeSets = CodeSets();
            Toggle(dialog, id, codeSets.conversionDisabled);
            return true;
        }
        case IDC_OPTIONS_DETERMINE:
            gOptions.fixedType = !gOptions.fixedType;
            ShowFixedType(dialog);
            if (gOptions.fixedType) ShowType(dialog);
            return true;
        case IDC_OPTIONS_SAVE: SaveAsDefaults(); return true;
        default: return false;
    }
}

// Tells the user that the server refused an option, in an information box over the
// connection's owner window; nothing when the texts cannot be loaded.
void ShowRefusal(HWND owner, UINT textId) {
    char caption[kCaptionSize];
    char text[kMessageSize];
    if (LoadStringA(ResourceInstance(), IDS_OPTION_ERROR_CAPTION, caption, kCaptionSize) <= 0 ||
        LoadStringA(ResourceInstance(), textId, text, kMessageSize) <= 0) {
        return;
    }
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONINFORMATION);
}

// Sends one option's command: the reply class, with the refusal shown for a class 5; or
// the failure that kept a reply from being read (FSE_CONNECTION_BROKEN when the control
// connection broke), which ends FTP_Option at once.
int32_t SendOption(FtpConnection* connection, const char* line, UINT refusalText) {
    const Reply reply = SendCommand(connection, line);
    if (reply.error) return reply.error;
    if (reply.kind == ReplyClass::Permanent) ShowRefusal(connection->ownerWindow, refusalText);
    return static_cast<int32_t>(reply.kind);
}

constexpr int32_t kAccepted = static_cast<int32_t>(ReplyClass::Complete);

// Sends the fixed type and structure, storing each one the server accepts. The last reply
// class, or a failure.
int32_t SendFixedRepresentation(FtpConnection* connection, const OptionsCopy& chosen) {
    const bool ascii = chosen.type == TYPE_ASCII;
    int32_t result = SendOption(connection, ascii ? "TYPE A\r\n" : "TYPE I\r\n",
                                ascii ? IDS_NO_ASCII_TYPE : IDS_NO_BINARY_TYPE);
    if (result < 0) return result;
    if (result == kAccepted) connection->currentType = chosen.type;
    const bool file = chosen.structure == STRUCTURE_FILE;
    result = SendOption(connection, file ? "STRU F\r\n" : "STRU R\r\n",
                        file ? IDS_NO_FILE_STRUCTURE : IDS_NO_RECORD_STRUCTURE);
    if (result < 0) return result;
    if (result == kAccepted) connection->currentStructure = chosen.structure;
    return result;
}

// An Other host's local byte size: TYPE L 8 with a binary type, which sets it; with an
// ASCII type the ASCII type is sent again. The reply class, or a failure.
int32_t SendLocalByte(FtpConnection* connection, const OptionsCopy& chosen) {
    if (chosen.type == TYPE_ASCII) return SendOption(connection, "TYPE A\r\n", IDS_NO_ASCII_TYPE);
    const int32_t result = SendOption(connection, "TYPE L 8\r\n", IDS_NO_LOCAL_BYTE_TYPE);
    if (result == kAccepted) connection->localByteSize = 1;
    return result;
}

}  // namespace

// The creation parameter is the state record, whose host type decides which controls can
// be used. Ends with 1 (OK) or 3 (Cancel).
extern "C" TVFTP_EXPORT INT_PTR CALLBACK FTPOptionProc(HWND dialog, UINT message,
                                                       WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(dialog, reinterpret_cast<const FsStateRecord*>(lParam));
            return TRUE;
        case WM_COMMAND: return Command(dialog, LOWORD(wParam)) ? TRUE : FALSE;
        default: return FALSE;
    }
}

extern "C" TVFTP_EXPORT LONG WINAPI FTP_Option(FsStateRecord* record) {
    // A record that has no connection has no options to show.
    FtpConnection* connection = record != nullptr ? record->connection : nullptr;
    if (connection == nullptr) return FSE_INVALID;
    gOptions = OptionsCopy{
        .type = connection->currentType == TYPE_ASCII ? TYPE_ASCII : TYPE_IMAGE,
        .structure =
            connection->currentStructure == STRUCTURE_RECORD ? STRUCTURE_RECORD : STRUCTURE_FILE,
        .fixedType = (connection->optionFlags & OPTION_REPRESENTATION_FIXED) != 0,
        .selectDataPort = (connection->stateFlags & STATE_SEND_PORT) != 0,
        .parseDirectories = (connection->optionFlags & OPTION_PARSE_DIRECTORIES) != 0,
        .localByte8 = connection->localByteSize != 0,
        .owner = connection->ownerWindow,
    };
    const INT_PTR shown = RunModuleDialog(kOptionsTemplate, connection->ownerWindow,
                                          FTPOptionProc, reinterpret_cast<LPARAM>(record));
    if (shown != 1) return static_cast<LONG>(shown);

    // Messages run while the replies are awaited; the copy is read before any of them.
    const OptionsCopy chosen = gOptions;
    int32_t result = 1;  // nothing sent
    if (chosen.fixedType) {
        result = SendFixedRepresentation(connection, chosen);
        if (result < 0) return result;
        connection->optionFlags |= OPTION_REPRESENTATION_FIXED;
    } else {
        connection->optionFlags &= ~OPTION_REPRESENTATION_FIXED;
    }
    if (chosen.selectDataPort) connection->stateFlags |= STATE_SEND_PORT;
    else connection->stateFlags &= ~STATE_SEND_PORT;

    if (record->hostType != HOST_OTHER) {
        if (chosen.parseDirectories) connection->optionFlags |= OPTION_PARSE_DIRECTORIES;
        else connection->optionFlags &= ~OPTION_PARSE_DIRECTORIES;
        connection->localByteSize = 0;
        return result;
    }
    // An Other host's listings are never parsed; its local byte size is the user's choice.
    if (!chosen.localByte8) {
        connection->localByteSize = 0;
        return result;
    }
    return SendLocalByte(connection, chosen);
}
