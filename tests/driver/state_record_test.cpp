// FS_State_Record_Initialize through a host-made state record in moveable memory.
#include <gtest/gtest.h>

#include "connection/ftp_connection.h"

namespace {

TEST(StateRecord, InitializeForgetsTheFileTypeChoiceByHostType) {
    for (uint8_t hostType = 0; hostType <= HOST_OTHER; ++hostType) {
        FtpConnection connection{};
        connection.textFormat = 5;
        connection.sameTypeForRemaining = 1;
        connection.lineEndConvention = 0;
        HGLOBAL handle = GlobalAlloc(GHND, sizeof(FsStateRecord));
        auto* record = static_cast<FsStateRecord*>(GlobalLock(handle));
        record->connection = &connection;
        record->hostType = hostType;
        GlobalUnlock(handle);

        EXPECT_EQ(FS_State_Record_Initialize(handle), 0);
        EXPECT_EQ(connection.textFormat, 1);
        EXPECT_EQ(connection.sameTypeForRemaining, 0);
        // Only UNIX servers are taken to end text lines with LF alone; automatic (1) too
        // gets CR LF until detection has said otherwise.
        EXPECT_EQ(connection.lineEndConvention, hostType == HOST_UNIX ? 2 : 3)
            << "host type " << int(hostType);
        EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 0u);  // unlocked again on return
        GlobalFree(handle);
    }
}

}  // namespace
