// The README's command table is ftpsh's own: the rows ftpsh makes of its command table,
// the same and in the same order.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/host/ftpsh_process.h"

TEST(FtpshCommands, ReadmeTableIsTheCommandTable) {
    std::ifstream readme(FTPSH_README);
    std::string line, rows;
    for (bool table = false; std::getline(readme, line);) {
        if (line.rfind("| Command |", 0) == 0) table = true;
        else if (table && line.rfind("| `", 0) == 0) rows += line + "\n";
        else if (table && line.rfind("|-", 0) != 0) break;
    }
    ftpsh_test::Outcome outcome = ftpsh_test::RunFtpsh({"--commands-markdown"});
    EXPECT_EQ(outcome.exitCode, 0) << ftpsh_test::Describe(outcome);
    EXPECT_EQ(rows, outcome.out) << "-: the README's command table, +: ftpsh's";
}
