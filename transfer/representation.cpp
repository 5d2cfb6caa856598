// Bringing the server to the representation type and structure a transfer wants. The
// connection remembers what the server last accepted, so that nothing is sent twice.
#include "transfer/representation.h"

#include "connection/ftp_connection.h"

namespace {

const char* TypeCommand(uint32_t type) {
    switch (type) {
        case REPRESENTATION_TYPE_ASCII: return "TYPE A\r\n";
        case REPRESENTATION_TYPE_IMAGE: return "TYPE I\r\n";
        // The only byte size the module asks for, whatever the wanted record says.
        case REPRESENTATION_TYPE_LOCAL_BYTE: return "TYPE L 8\r\n";
        default: return nullptr;
    }
}

const char* StructureCommand(uint32_t structure) {
    switch (structure) {
        case REPRESENTATION_STRUCTURE_FILE: return "STRU F\r\n";
        case REPRESENTATION_STRUCTURE_RECORD: return "STRU R\r\n";
        default: return nullptr;
    }
}

}  // namespace

int32_t ApplyRepresentation(const TransferRepresentation& wanted, FsStateRecord* record) {
    FtpConnection* connection = record->connection;
    if (static_cast<int32_t>(wanted.type) != connection->currentType) {
        const char* command = TypeCommand(wanted.type);
        if (command == nullptr) return FSE_INVALID;
        if (!SendCommand(connection, command).Is(ReplyClass::Complete)) {
            return FSE_UNEXPECTED_REPLY;
        }
        // Local byte mode stands in for the current type rather than replacing it: asking
        // for the type that was current afterwards sends nothing, asking for local byte
        // mode again sends TYPE L 8 again.
        if (wanted.type == REPRESENTATION_TYPE_LOCAL_BYTE) {
            connection->localByteSize = static_cast<int32_t>(wanted.byteSize);
        } else {
            connection->currentType = static_cast<int32_t>(wanted.type);
        }
    }
    if (static_cast<int32_t>(wanted.structure) != connection->currentStructure) {
        const char* command = StructureCommand(wanted.structure);
        if (command == nullptr) return FSE_INVALID;
        if (!SendCommand(connection, command).Is(ReplyClass::Complete)) {
            return FSE_UNEXPECTED_REPLY;
        }
        connection->currentStructure = static_cast<int32_t>(wanted.structure);
    }
    return 0;
}
