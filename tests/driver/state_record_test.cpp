// FS_State_Record_Initialize through a host-made state record in moveable memory.
#include <gtest/gtest.h>

#include "driver/ftp_connection.h"

namespace {

struct HostRecord {
    HGLOBAL handle = GlobalAlloc(GHND, sizeof(FsStateRecord));
    FtpConnection connection{};

    explicit HostRecord(uint8_t hostType) {
        auto* record = static_cast<FsStateRecord*>(GlobalLock(handle));
        record->connection = &connection;
        record->hostType = hostType;
        GlobalUnlock(handle);
    }
    ~HostRecord() { GlobalFree(handle); }
};

TEST(StateRecord, InitializeForgetsTheFileTypeChoiceByHostType) {
    for (uint8_t hostType = 0; hostType <= HOST_OTHER; ++hostType) {
        HostRecord host(hostType);
        host.connection.textFormat = 5;
        host.connection.sameTypeForRemaining = 1;
        host.connection.lineEndConvention = 0;

        EXPECT_EQ(FS_State_Record_Initialize(host.handle), 0);

        EXPECT_EQ(host.connection.textFormat, 1);
        EXPECT_EQ(host.connection.sameTypeForRemaining, 0);
        // Only UNIX servers are taken to end text lines with LF alone; automatic (1) too
        // gets CR LF until detection has said otherwise.
        EXPECT_EQ(host.connection.lineEndConvention, hostType == HOST_UNIX ? 2 : 3)
            << "host type " << int(hostType);
        // The record's handle is unlocked again on return.
        EXPECT_EQ(GlobalFlags(host.handle) & GMEM_LOCKCOUNT, 0u);
    }
}

}  // namespace
