// Settling the remote system of a new connection. The greeting check, the detection by
// settings, SYST, greeting and question, the SITE DIRSTYLE check and the VMS quirks arrive
// with their own change; until then the host type is the one the host gave.
#include "connection/detection.h"

int32_t SettleRemoteSystem(FsStateRecord* record, FtpConnection*, const char*) {
    return record->hostType;
}
