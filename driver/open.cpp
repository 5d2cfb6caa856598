// xfsopen: turns a state record that the host prepared into a working connection. It
// connects and attaches the control connection, installs the module's hooks and the
// protocol window, reads the greeting and logs on, settles the remote system type with
// its quirks and applies the initial transfer options.
#include "driver/open.h"

#include "codeset/binding.h"
#include "codeset/code_set_state.h"
#include "connection/open.h"
#include "fsops/path_operations.h"
#include "listing/listing_probe.h"
#include "records/module_state.h"
#include "transfer/representation.h"
#include "ui/file_type_dialog.h"
#include "ui/prompts.h"
#include "ui/protocol_log.h"
#include "ui/protocol_window.h"
#include "util/orr.h"

const ConnectionHooks kModuleHooks = {
    HandToProtocolWindow,
    AskQuestion,
    AskRemoteSystemDialog,
    RunListingProbe,
    AskFileTypeDialog,
};

extern "C" TVFTP_EXPORT LONG WINAPI xfsopen(HGLOBAL stateRecord, DWORD, LPSTR user,
                                            LPSTR password, LPSTR account,
                                            const OpenParameters* parameters) {
    if (!OrrNetworkReady()) return FSE_NETWORK_DOWN;
    LockedStateRecord record(stateRecord);
    if (!record) return FSE_INVALID;

    if (parameters->codeSet != 0) SetRemoteCodeSet(parameters->codeSet);
    gModule.protocolFont = GetStockObject(
        CodeSets().codeSetTable->needsSystemFixedFont != 0 ? SYSTEM_FIXED_FONT : ANSI_FIXED_FONT);
    gModule.idleCallback = parameters->idleCallback;

    SOCKET control = INVALID_SOCKET;
    int32_t result = ConnectToServer(record.get(), parameters->port, &control);
    if (result < 0) return result;
    result = AttachConnection(record.get(), control, parameters);
    if (result < 0) return result;
    FtpConnection* connection = record->connection;
    connection->hooks = &kModuleHooks;
    // Opened before the greeting is read, so that the greeting is in the log.
    if (parameters->openFlags & OPEN_SHOW_PROTOCOL) OpenProtocolWindow(record.get());

    LogonTexts texts(user, password, account);
    char greetingText[REPLY_TEXT_BUFFER_SIZE];
    result = GreetAndLogOn(record.get(), texts, parameters, greetingText);
    if (result < 0) return result;
    if (record->hostType == HOST_VMS) DetectVmsQuirks(record.get(), connection, greetingText);
    return ApplyInitialOptions(record.get(), connection, parameters->openFlags);
}
