// File information: the server's own listing line (or lines) for each name of a host name
// list, handed to the host's line function as they come, unparsed. Each name gets a LIST
// transfer of its own, finished (data connection closed, completion reply read) before its
// lines go to the host and before the next name is sent.
#include "codeset/code_set_state.h"
#include "listing/file_info_name_list.h"
#include "listing/file_info_receive.h"
#include "listing/send_listing_command.h"
#include "util/memory_guards.h"
#include "util/orr.h"

namespace {

// Hands every line of the NUL-terminated data to the host, in order, without its line
// end; runs of CR and LF part lines, so empty lines never reach the host.
void DeliverLines(char* text, DWORD hostValue, FileInfoLineFunction lineFunction) {
    char* cursor = text;
    while (char* line = OrrNextToken(&cursor, "\r\n")) {
        lineFunction(line, lstrlenA(line), hostValue);
    }
}

}  // namespace

// A name list cannot be read without the host's file-system layer library: then the result
// is FSE_NOT_SUPPORTED and nothing is sent. A name that the library cannot give (an index
// outside a damaged list) stops the loop with FSE_INVALID, as a refused command would. The
// result of a name whose listing did not fit in memory is 0: its lines so far were
// delivered and the user was told. While conversion runs, its receive block is made before
// anything is sent, so that no memory for it gives FSE_NO_MEMORY with nothing sent, as for
// the data block.
extern "C" TVFTP_EXPORT LONG WINAPI FTP_Get_File_Info(HGLOBAL nameList, FsStateRecord* record,
                                                      FileInfoLineFunction lineFunction) {
    FtpConnection* connection = record->connection;
    FileInfoBuffer buffer;
    if (!buffer.ok()) return FSE_NO_MEMORY;
    HostNameList names(nameList);
    if (names.status() < 0) return names.status();
    // The block raw data is received into while conversion runs, made only then.
    const bool converting = ConversionRuns();
    ScratchBlock conversion(converting ? FILE_INFO_CONVERSION_BLOCK_SIZE : 0);
    if (converting && conversion.get() == nullptr) return FSE_NO_MEMORY;

    int32_t result = 0;
    for (uint16_t index = 0; index < names.count(); ++index) {
        const char* name = names.Name(index);
        if (name == nullptr) {
            result = FSE_INVALID;
            break;
        }
        // The listing comes in whatever representation the connection is in: the host
        // shows the lines, so nothing is switched for them.
        DataConnection transfer;
        int32_t sent = SendListingCommand(connection, "LIST", name, &transfer);
        names.Release();
        if (sent < 0) {
            result = sent;
            break;
        }

        // A failure while the data arrives does not stop the loop: the lines so far are
        // delivered and the next name is listed.
        result = ReceiveFileInfo(connection, transfer.data, &buffer, conversion.get());
        CloseDataConnection(&transfer);
        ReadReply(connection);
        if (!buffer.ok()) {
            result = FSE_NO_MEMORY;
            break;
        }
        if (lineFunction != nullptr) DeliverLines(buffer.data(), record->hostValue, lineFunction);
    }

    // Every transfer was finished here, its completion reply included, so nothing is left
    // for a later close to wait for.
    connection->stateFlags &= ~(STATE_DATA_TRANSFER | STATE_PASSIVE_CONNECTION_OPEN);
    return result;
}
