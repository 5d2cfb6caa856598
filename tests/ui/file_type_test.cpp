// The file type of a download decided from its first block, and the question
// FTP_FILETYPE_DLG as a person sees and answers it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "transfer/converters.h"
#include "transfer/file_type.h"
#include "ui/file_type_dialog.h"
#include "ui/resources/resource_ids.h"

using namespace std::string_literals;
using namespace tvtest;

namespace {

int gAsked = 0;
int32_t gAnswer = 1;
std::string gAskedName;
int32_t RecordQuestion(FtpConnection*, const char* fileName, FsStateRecord*) {
    gAskedName = fileName;
    ++gAsked;
    return gAnswer;
}
const ConnectionHooks kAskingHooks = {nullptr, nullptr, nullptr, nullptr, RecordQuestion};

enum Host { ELSEWHERE, VMS_ANY, VMS };  // VMS: a VMS server that lists before CWD

}  // namespace

// Each row: the block, the server, the TextFormat decided, and the user's answer when the
// user is asked (0: not asked): any answer but Transfer (1) is the result.
TEST(FileTypeDecision, SampleLineEndsAndRecordsChooseTheFormatOrAsk) {
    const std::string hello = "\x05\0hello\0"s;
    const struct { std::string block; Host host; int32_t format, answer; } rows[] = {
        {"one\r\ntwo\r\n", ELSEWHERE, 1, 0}, {"lf\n", ELSEWHERE, 1, 0},
        {"no line end", ELSEWHERE, 1, 1}, {"form\ffeed", ELSEWHERE, 1, -153},
        {"PK\x03\x04", ELSEWHERE, 3, 0}, {"no end", VMS_ANY, 1, -152}, {hello, VMS_ANY, 3, 0},
        // VMS text: bare LF against CR LF, lone CR and form feed; a CR that ends the block
        // tells nothing.
        {"a\nb\n", VMS, 6, 0}, {"\nb\r", VMS, 6, 0}, {"a\r\nb", VMS, 7, 0},
        {"a\rb", VMS, 7, 0}, {"a\fb", VMS, 7, 0}, {"a\r\r\nb", VMS, 7, 0},
        {"a\nb\r\n", VMS, 1, 1}, {"a\nb\f", VMS, 1, -153}, {"a\r\r", VMS, 1, -1},
        {"", VMS, 1, 1},
        // VMS records: the last whole one counts; a pad byte follows an odd length.
        {hello, VMS, 8, 0}, {hello + "\x03\0\x01\x02\x03\0"s, VMS, 9, 0},
        {"\x03\0\x01\x02\x03\0\x02\0hi"s, VMS, 8, 0},
        {"\0\x02"s + std::string(512, 'v'), VMS, 8, 0}, {"\x01\x02"s, VMS, 16, 0},
        {hello + "\x58\x02"s, VMS, 16, 0}, {"\x05\0he"s, VMS, 1, 0},
        {hello + "\x09\0\x01"s, VMS, 8, 0}, {"\0"s, VMS, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.block) + " on host " + std::to_string(row.host));
        FtpConnection connection{};
        connection.hooks = &kAskingHooks;
        connection.hostQuirks = row.host == VMS ? uint32_t(QUIRK_LIST_BEFORE_CWD) : 0u;
        connection.textFormat = TEXT_FORMAT_BINARY_RECORDS;
        FsStateRecord record{};
        record.connection = &connection;
        record.hostType = row.host == ELSEWHERE ? HOST_UNIX : HOST_VMS;
        gAsked = 0;
        gAnswer = row.answer;
        const auto length = static_cast<int32_t>(row.block.size());
        EXPECT_EQ(DecideFileType(row.block.data(), length, &record, "DISK$USER:[A]B.TXT;1"),
                  row.answer < 0 ? row.answer : length);
        EXPECT_EQ(std::tuple(connection.textFormat, gAsked),
                  std::tuple(row.format, row.answer != 0 ? 1 : 0));
        // Without a question to ask, the copy is cancelled.
        connection.hooks = nullptr;
        EXPECT_EQ(DecideFileType(row.block.data(), length, &record, ""),
                  row.answer != 0 ? -152 : length);
    }
    EXPECT_EQ(gAskedName, "DISK$USER:[A]B.TXT;1");
}

namespace {

std::vector<std::tuple<UINT, WPARAM, LPARAM>> gOwnerHeard;
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) gOwnerHeard.emplace_back(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

// The checked, then the disabled buttons of the choice: "400 606 | 608 ".
std::function<void(HWND)> States(const std::string& expected) {
    return [expected](HWND dialog) {
        std::string checked, disabled;
        for (int id : {400, 401, 605, 606, 607, 608, 601}) {
            if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) checked += std::to_string(id) + " ";
            if (!IsWindowEnabled(GetDlgItem(dialog, id))) disabled += std::to_string(id) + " ";
        }
        EXPECT_EQ(checked + "| " + disabled, expected);
    };
}

using Choice = std::tuple<int32_t, int32_t, int32_t>;  // TextFormat, LineEndConvention, same type

}  // namespace

// Each row: the connection the question opens on, the buttons then, the clicks, the
// buttons before the last click, the result and the connection's choice afterwards.
TEST(FileTypeDialog, OpensOnTheConnectionsChoiceAndCommandsKeepTheButtonsConsistent) {
    AttachedModule module;
    WNDCLASSA ownerClass{};
    ownerClass.lpfnWndProc = OwnerProc;
    ownerClass.lpszClassName = "TvTestFileTypeOwner";
    RegisterClassA(&ownerClass);
    FtpConnection connection{};
    connection.ownerWindow = CreateWindowExA(0, "TvTestFileTypeOwner", "", 0, 0, 0, 10, 10,
                                             nullptr, nullptr, nullptr, nullptr);
    FsStateRecord record{};
    record.connection = &connection;
    const struct {
        uint8_t host; Choice before; const char *system, *opening; std::vector<int> clicks;
        const char* beforeLast; int32_t result; Choice after;
    } rows[] = {
        {HOST_DOS, {1, 1, 1}, "DOS", "400 605 601 | 608 ", {401, 200, 2},
         "401 605 601 | 605 606 607 608 ", -152, {1, 1, 1}},
        {0, {1, 0, 0}, "OTHER", "400 608 | 608 ", {603}, "400 608 | 608 ", -153, {1, 0, 0}},
        {HOST_UNIX, {3, 2, 0}, "UNIX", "401 | 605 606 607 608 ", {400, 607, 601, 601, 601, 602},
         "400 607 601 | 605 608 ", 1, {1, 3, 1}},
        {HOST_UNIX, {6, 2, 1}, "UNIX", "401 601 | 605 606 607 608 ", {400, 601, 602},
         "400 | 605 608 ", 1, {1, 4, 0}},
        {HOST_VMS, {1, 3, 1}, "VMS", "400 607 601 | 607 ", {606, 602}, "400 606 601 | 607 ", 1,
         {6, 2, 1}},
        {HOST_VMS, {3, 2, 0}, "VMS", "401 | 605 606 607 608 ", {400, 605, 602}, "400 605 | 607 ",
         1, {7, 1, 0}},
        {HOST_VMS, {3, 2, 0}, "VMS", "401 | 605 606 607 608 ", {400, 602}, "400 | 607 ", 1,
         {7, 4, 0}},
        {HOST_VMS, {1, 2, 0}, "VMS", "400 606 | 607 ", {401, 602},
         "401 606 | 605 606 607 608 ", 1, {3, 2, 0}},
    };
    for (const auto& row : rows) {
        record.hostType = row.host;
        std::tie(connection.textFormat, connection.lineEndConvention,
                 connection.sameTypeForRemaining) = row.before;
        DialogScript person;
        DialogScript& steps = person.Expect(FILE_TYPE_TEMPLATE);
        steps.Check(IDC_HOST_TYPE_NAME, row.system).Check(IDC_FILETYPE_NAME, "a&b.txt")
            .Inspect(States(row.opening)).Inspect([&](HWND dialog) {
                char name[32], caption[32];
                GetClassNameA(dialog, name, sizeof name);
                GetWindowTextA(dialog, caption, sizeof caption);
                EXPECT_EQ(name + "|"s + caption,
                          "FTP_FileTypeDialog|Unable to Determine File Type");
                EXPECT_EQ(GetWindow(dialog, GW_OWNER), connection.ownerWindow);
                EXPECT_EQ(GetWindowLongPtrA(dialog, FILE_TYPE_DIALOG_RECORD), LONG_PTR(&record));
            });
        for (size_t i = 0; i + 1 < row.clicks.size(); ++i) steps.Click(row.clicks[i]);
        steps.Inspect(States(row.beforeLast)).Click(row.clicks.back());
        EXPECT_EQ(AskFileTypeDialog(&connection, "a&b.txt", &record), row.result);
        EXPECT_TRUE(person.finished());
        EXPECT_EQ(person.problems(), std::vector<std::string>{});
        EXPECT_EQ(std::tuple(connection.textFormat, connection.lineEndConvention,
                             connection.sameTypeForRemaining), row.after);
    }
    // Help asked the owner and left the question open.
    EXPECT_EQ(gOwnerHeard, (std::vector{std::tuple(UINT(WM_USER + 1), WPARAM(0), LPARAM(53274))}));
    EXPECT_EQ(RunModuleDialog("NO_SUCH_DLG", nullptr, FileTypeProc, 0), -1);
    DestroyWindow(connection.ownerWindow);
}
