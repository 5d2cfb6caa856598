// Reads of remote text while code-set conversion runs, which no transcript can turn on:
// each receive small enough that its converted bytes fit the read, the line rules on the
// converted bytes, a receive converted into nothing read again, a failed conversion.
#include <gtest/gtest.h>

#include "tests/codeset/stand_in_conversion.h"
#include "tests/support/host_fixture.h"
#include "transfer/remote_file_handle.h"

namespace {

using namespace tvtest;
using namespace std::string_literals;

TEST(FileRead, TextAndRecordsAreConvertedBetweenCodeSets) {
    const struct {
        LONG mode;
        std::string data, wanted;
        LONG end;  // what the last read gives
    } kCases[] = {
        {FILE_MODE_ASCII, "abxx\r\0c"s, "AB\rC", 0},
        {FILE_MODE_ASCII | FILE_MODE_RECORD, "ab\xFF\x01x\xFF\x02"s, "AB\r\n", 0},
        {FILE_MODE_ASCII, "ab\xFE", "AB", FSE_CONVERSION},
        {FILE_MODE_ASCII | FILE_MODE_RECORD, "ab\xFE", "", FSE_CONVERSION},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(c.data));
        const bool records = (c.mode & FILE_MODE_RECORD) != 0;
        ScriptedSession session;
        if (records) session.Converse({{"STRU R", "200 R."}});
        session.server().ExpectLineStartingWith("PORT ").Reply("200 PORT ok.\r\n");
        session.Converse({{"RETR f", "150 Opening."}}).ConnectToPort().DataSend(c.data).DataClose();
        session.server().Reply("226 Done.\r\n");
        if (records) session.Converse({{"STRU F", "200 F."}});
        session.Begin(STATE_SEND_PORT, TYPE_ASCII);
        // Data bytes are upper-cased, an x dropped, 0xFE refused; the worst case is 2.
        StandInConversion library({.worstCase = 2, .upperCase = true, .dropped = 'x', .refused = 0xFE,
                                   .plainDestination = session.connection()->stream.receiveBuffer});
        HostHandleBlock file{};
        ASSERT_EQ(FTP_File_Open(&file, "f", session.record(), FILE_MODE_READ | c.mode, 0), 0);
        std::string got;
        LONG read = 0;
        char buffer[5];
        for (int tries = 0; tries < 500 && (read > 0 || read == FSE_WOULD_BLOCK || tries == 0); ++tries) {
            if ((read = FTP_File_Read(&file, buffer, sizeof buffer)) == FSE_WOULD_BLOCK) Sleep(10);
            got.append(buffer, read > 0 ? read : 0);
        }
        EXPECT_EQ(read, c.end);
        EXPECT_EQ(got, c.wanted);
        // A read of 5 receives 2 bytes at a time, which become at most 4.
        EXPECT_LE(StandInConversion::largestBlock, records ? 1023 : 2);
        EXPECT_EQ(FTP_File_Close(&file), 0);
        EXPECT_EQ(session.Finish(), "");
    }
}

}  // namespace
