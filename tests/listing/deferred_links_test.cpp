// The links of a LIST listing, resolved once the data has ended, byte for byte against the
// scripted server: probes by full path, passes cut short by few free records, refusals, and
// servers that report representations.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/listing/listing_session.h"

using namespace tvtest;

namespace {

std::string Link(const std::string& name, const std::string& target = "x") {
    return "lrwxrwxrwx   1 u  g  8 Jan 12 12:34 " + name + " -> " + target;
}

using Steps = std::vector<std::pair<std::string, std::string>>;

// A LIST of these lines over PORT, completed, before the steps of the link pass.
void ListLines(ListingSession& session, const std::vector<std::string>& lines, const Steps& pass) {
    std::string data;
    for (const std::string& line : lines) data += line + "\r\n";
    CompletedListing(session.server(), "LIST\r\n", data);
    for (const auto& [command, reply] : pass) session.Converse({{command, reply}});
}

}  // namespace

TEST(DeferredLinks, EachLinkIsTriedByItsFullPathAndTheDirectoryIsEnteredAgain) {
    ListingSession session;
    const std::string file = "-rw-r--r--   1 u  g  5 Jan 12 12:34 x";
    ListLines(session, {"total 3", Link("lib", "/usr/lib"), file, Link("notes", "notes.txt")},
              {{"PWD", "257 \"/home/u\" is the current directory"},
               {"CWD /home/u/lib", "250 Directory successfully changed."},
               {"CWD /home/u/notes", "550 Failed to change directory."},
               {"CWD /home/u", "250 Directory successfully changed."}});
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    // The file comes with the data, the links only after its end.
    HostEntries taken;
    EXPECT_EQ(session.Read(1, &taken), 1);
    EXPECT_EQ(session.Read(4, &taken), 2);
    EXPECT_EQ(taken, (HostEntries{{"x", file, ENTRY_FILE},
                                  {"lib", Link("lib", "/usr/lib"), ENTRY_DIRECTORY},
                                  {"notes", Link("notes", "notes.txt"), ENTRY_FILE}}));
    // The last change forgot the cached directory: the next question goes to the server.
    EXPECT_EQ(session.connection()->stateFlags & STATE_DIRECTORY_KNOWN, 0u);
    EXPECT_EQ(session.Read(4, &taken), 0);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, FewFreeRecordsCutThePassShortAndLinksThatNameNothingAreNotProbed) {
    ListingSession session;
    ListLines(session, {Link("a"), Link("b"), Link("c"), Link("e")},
              {{"PWD", "257 \"/d\""}, {"CWD /d/a", "250 OK."},
               {"CWD /d/b", "550 Not a directory."}, {"CWD /d", "250 OK."},
               // Files only from here: the directory "c" uses a line but no record.
               {"PWD", "257 \"/d\""}, {"CWD /d/c", "250 OK."},
               {"CWD /d/e", "550 Not a directory."}, {"CWD /d", "250 OK."}});
    ListLines(session, {Link(".", "/"), "l a b", Link(".."), Link("ok"), "lrwx"},
              {{"PWD", "257 \"/\" is current directory."},
               {"CWD //ok", "550 No such directory."}, {"CWD /", "250 OK."}});
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    ASSERT_EQ(session.Open(nullptr), 0);
    HostEntries taken;
    EXPECT_EQ(session.Read(2, &taken), 2);
    EXPECT_EQ(FTP_Dir_Ioctl(session.block(), 1, KIND_MASK_FILES), 0);
    EXPECT_EQ(session.Read(2, &taken), 1);
    EXPECT_EQ(session.Read(2, &taken), 0);
    EXPECT_EQ(session.Close(), 0);
    ASSERT_EQ(session.Open(nullptr), 0);
    EXPECT_EQ(session.Read(5, &taken), 1);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(taken, (HostEntries{{"a", Link("a"), ENTRY_DIRECTORY}, {"b", Link("b"), ENTRY_FILE},
                                  {"e", Link("e"), ENTRY_FILE}, {"ok", Link("ok"), ENTRY_FILE}}));
    EXPECT_EQ(session.Finish(), "");
}

TEST(DeferredLinks, RefusalsEndTheReadAndGiveBackWhatItFilledAndReportsReplaceProbes) {
    const std::string longDirectory = "/" + std::string(317, 'd');  // with "/" 319 of 320 bytes
    const std::string longPwd = "257 \"" + longDirectory + "\"", longCwd = "CWD " + longDirectory;
    struct Case {
        const char* what;
        uint8_t hostType;
        std::vector<std::string> links;
        Steps pass;  // a command without a reply: the connection breaks
        LONG result;
        HostEntries entries;
    };
    const Case cases[] = {
        {"a path too long to ask about is taken for a file", HOST_UNIX, {"x"},
         {{"PWD", longPwd}, {longCwd, "250 OK."}}, 1, {{"x", Link("x"), ENTRY_FILE}}},
        {"no working directory", HOST_UNIX, {"a"},
         {{"PWD", "500 Unknown command."}, {"XPWD", "502 Not implemented."}},
         FSE_NOT_SUPPORTED, {}},
        {"the change back refused", HOST_UNIX, {"a"},
         {{"PWD", "257 \"/d\""}, {"CWD /d/a", "250 OK."}, {"CWD /d", "550 Permission denied."}},
         FSE_ACCESS_DENIED, {}},
        {"the connection breaks", HOST_UNIX, {"a", "b", "c"},
         {{"PWD", "257 \"/d\""}, {"CWD /d/a", "250 OK."}, {"CWD /d/b", ""}},
         FSE_CONNECTION_BROKEN, {}},
        {"reported kinds", HOST_BRANNOCK, {"lib", "readme"},
         {{"PWD", "257 \"/d\""}, {"STAT /d/lib", "213 DNFS"}, {"STAT /d/readme", "213 ANFS"},
          {"CWD /d", "250 OK."}},
         2, {{"lib", Link("lib"), ENTRY_DIRECTORY}, {"readme", Link("readme"), ENTRY_FILE}}},
        // No probe moved the server: nothing to change back.
        {"a refused report", HOST_BRANNOCK, {"lib", "gone"},
         {{"PWD", "257 \"/d\""}, {"STAT /d/lib", "213 DNFS"},
          {"STAT /d/gone", "550 No such file."}},
         FSE_INVALID, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ListingSession session(c.hostType);
        std::vector<std::string> lines;
        for (const std::string& name : c.links) lines.push_back(Link(name));
        ListLines(session, lines, c.pass);
        const bool reports = c.hostType == HOST_BRANNOCK;
        session.Begin(TYPE_ASCII, reports ? STATE_SEND_PORT | STATE_STAT_REPORTS_REPRESENTATION
                                          : uint32_t{STATE_SEND_PORT});
        ASSERT_EQ(session.Open(nullptr), 0);
        HostEntries taken;
        std::vector<DirEntry> array;
        EXPECT_EQ(session.Read(8, &taken, &array), c.result);
        EXPECT_EQ(taken, c.entries);
        for (const DirEntry& entry : array) {
            EXPECT_TRUE(c.result > 0 || entry.name == nullptr || entry.name == kHostValue);
        }
        EXPECT_EQ(session.Close(), 0);
        EXPECT_EQ(session.Finish(), "");
    }
}
